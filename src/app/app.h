// The program's one wiring place. App owns the main window, the shared monitoring context,
// the Qt side of every port, the three window timers, the scheduler and the list commands,
// and connects them: controls to the settings store, buttons and timers to the scheduler,
// the mail buttons to the mail notifier, the ledger to its box, the product list to the list
// view, the window's flags to the desktop port, the price history to the chart windows. The main
// window only builds and shows widgets. UI thread only.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>
#include <string>

#include "app/alarm_player.h"
#include "app/period_timer.h"
#include "monitor/monitor_context.h"
#include "notify/mail_notifier.h"

namespace korvelin {

class ListCommands;
class MainWindow;
class MonitorScheduler;
class PriceCharts;
class QtDesktop;
class QtListFileUi;
class QtSchedulerControls;
class UiBridge;

struct AppOptions {
  MailServer mailServer;  // the QQ mail service unless a test points it elsewhere
  // Whether the tray icon is used; by default (nothing) whenever the desktop has a system
  // tray, as it comes and goes.
  std::optional<bool> useTray;
};

class App : public QObject {
  Q_OBJECT

 public:
  App();
  explicit App(const AppOptions& options);
  ~App() override;

  // The start-up steps, run once right after construction: the mail connection on its own
  // thread, the first page, pending events, ModifyMode 0, the marketplace table, the list
  // commands, and the product list from the folder `programDirectory` (a path;
  // ListDirectory() in the program).
  void Start(const std::string& programDirectory);

  MainWindow& Window() const { return *window_; }
  const std::shared_ptr<MonitorContext>& Context() const { return context_; }
  MonitorScheduler& Scheduler() const { return *scheduler_; }
  ListCommands* Commands() const { return commands_.get(); }  // made by Start
  PriceCharts* Charts() const { return charts_.get(); }       // made by Start
  PeriodTimer* TickTimer() { return &tickTimer_; }
  PeriodTimer* SweepTimer() { return &sweepTimer_; }
  PeriodTimer* CountTimer() { return &countTimer_; }

  // The shutdown steps, on "退出" or when the window closes: the tray icon goes, workers'
  // calls no longer reach the widgets, the mail server is disconnected (waited for two
  // seconds at most), then ShutdownFinished, on which the program quits. Runs once; a second
  // call does nothing.
  void Shutdown();
  bool IsShutDown() const { return shutDown_; }

 signals:
  void ShutdownFinished();

 private:
  void BuildContext();
  void BindSettings();
  void ConnectControls();

  AppOptions options_;
  // Destroyed last: every other member refers to its widgets.
  std::unique_ptr<MainWindow> window_;
  std::shared_ptr<UiBridge> bridge_;
  AlarmPlayer player_;
  PeriodTimer tickTimer_;   // 时钟开始监控
  PeriodTimer sweepTimer_;  // 时钟通知状态
  PeriodTimer countTimer_;  // 时钟准备停止
  std::shared_ptr<QtDesktop> desktop_;
  // Shared with the check threads, which may outlive this object.
  std::shared_ptr<MonitorContext> context_;
  std::unique_ptr<QtSchedulerControls> schedulerControls_;
  std::unique_ptr<MonitorScheduler> scheduler_;
  std::unique_ptr<QtListFileUi> listFileUi_;
  std::unique_ptr<ListCommands> commands_;
  std::unique_ptr<PriceCharts> charts_;
  bool shutDown_ = false;
};

}  // namespace korvelin
