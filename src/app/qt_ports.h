// The Qt side of the core's ports. Every call may come from any thread; widget work is
// handed to the UI thread through the UI bridge and dropped once the window has closed.
#pragma once

#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/ui_bridge.h"
#include "common/ports.h"
#include "monitor/monitor_scheduler.h"
#include "notify/mail_notifier.h"

class QAbstractButton;
class QPushButton;
class QCheckBox;
class QLabel;

namespace korvelin {

class LogView;
class AlarmPlayer;
class PeriodTimer;

// Entries from worker threads wait in a queue, in the order they came; the first one into an
// empty queue hands the UI thread one call that appends every entry waiting by then. So a
// busy monitor wakes the UI thread once per batch, not once per entry, and every entry is
// still appended whole and in order. An entry made on the UI thread is appended at once,
// after any still waiting.
class QtActivityLog : public ActivityLog {
 public:
  QtActivityLog(std::shared_ptr<UiBridge> bridge, LogView* view);
  void Append(const std::string& entry) override;

 private:
  struct Queue {
    std::mutex mutex;
    std::vector<std::string> entries;
  };
  // UI thread: appends every waiting entry.
  static void Drain(Queue& queue, LogView* view);

  std::shared_ptr<UiBridge> bridge_;
  QPointer<LogView> view_;
  // Shared with the queued calls, which may run after this object is gone.
  std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();
};

class QtDesktop : public Desktop {
 public:
  // `balloon` runs on the UI thread and shows the notice at the tray icon.
  using BalloonHandler = std::function<bool(const std::string& title, const std::string& message,
                                            BalloonIcon icon, int displayMilliseconds)>;
  QtDesktop(std::shared_ptr<UiBridge> bridge, BalloonHandler balloon, AlarmPlayer* player);

  void OpenAddress(const std::string& address) override;
  bool ShowTrayBalloon(const std::string& title, const std::string& message, BalloonIcon icon,
                       int displayMilliseconds) override;
  void PlayAlarm(std::string_view wave) override;
  bool IsMainWindowVisible() override { return visible_.load(); }
  bool IsMainWindowMinimised() override { return minimised_.load(); }
  bool IsMainWindowActive() override { return active_.load(); }
  void ShowMessage(const std::string& text, const std::string& title) override;

  // Written on the UI thread from the main window's flag signals (App).
  void SetWindowFlags(bool visible, bool minimised) {
    visible_ = visible;
    minimised_ = minimised;
  }
  void SetWindowActive(bool active) { active_ = active; }

 private:
  std::shared_ptr<UiBridge> bridge_;
  BalloonHandler balloon_;
  QPointer<AlarmPlayer> player_;
  std::atomic<bool> visible_{false};
  std::atomic<bool> minimised_{false};
  std::atomic<bool> active_{false};
};

class QtMailControls : public MailControls {
 public:
  QtMailControls(std::shared_ptr<UiBridge> bridge, QPushButton* connectButton,
                 QPushButton* testButton, QCheckBox* mailAlerts);
  void SetConnectButton(const std::string& caption, bool enabled) override;
  void SetTestButton(const std::string& caption, bool enabled) override;
  void SetMailAlertsEnabled(bool enabled) override;

 private:
  std::shared_ptr<UiBridge> bridge_;
  QPointer<QPushButton> connect_;
  QPointer<QPushButton> test_;
  QPointer<QCheckBox> mailAlerts_;
};

// The scheduler's controls: the tick and sweep timers, the start and stop buttons and the
// running count label. The scheduler calls them on the UI thread only.
class QtSchedulerControls : public SchedulerControls {
 public:
  QtSchedulerControls(QPushButton* startButton, QPushButton* stopButton, QLabel* runningCount,
                      PeriodTimer& tickTimer, PeriodTimer& sweepTimer);
  void SetTickTimerPeriod(int milliseconds) override;
  void SetSweepTimerPeriod(int milliseconds) override;
  void SetStartEnabled(bool enabled) override;
  void SetStopEnabled(bool enabled) override;
  void SetRunningCountCaption(const std::string& caption) override;

 private:
  QPointer<QPushButton> start_;
  QPointer<QPushButton> stop_;
  QPointer<QLabel> runningCount_;
  PeriodTimer& tickTimer_;
  PeriodTimer& sweepTimer_;
};

// The address as a URL: a web address as it is, a file path as a local file URL.
QUrl AddressToUrl(const QString& address);

}  // namespace korvelin
