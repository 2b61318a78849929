// The main window: two tab pages with every settings control, the activity log, the product
// list view and the ledger box, the three window timers and the tray icon. It builds the
// shared monitoring context and implements the scheduler's controls on its widgets.
#pragma once

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>

#include "monitor/monitor_context.h"
#include "monitor/monitor_scheduler.h"
#include "notify/mail_notifier.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QAction;

namespace korvelin {

class AlarmPlayer;
class ListCommands;
class ListViewMirror;
class LogView;
class PeriodTimer;
class QtDesktop;
class QtListFileUi;
class UiBridge;

struct MainWindowOptions {
  MailServer mailServer;  // the QQ mail service unless a test points it elsewhere
  // Whether the tray icon is used; by default whenever the desktop has a system tray.
  bool useTray = QSystemTrayIcon::isSystemTrayAvailable();
};

class MainWindow : public QWidget, private SchedulerControls {
  Q_OBJECT

 public:
  MainWindow();
  explicit MainWindow(const MainWindowOptions& options);
  ~MainWindow() override;

  // The start-up steps, run once right after construction: the mail connection on its own
  // thread, the first page, pending events, ModifyMode 0, the marketplace table and the
  // product list from the folder `programDirectory` (a path; ListDirectory() in the program).
  void Start(const std::string& programDirectory);

  const std::shared_ptr<MonitorContext>& Context() const { return context_; }
  MonitorScheduler& Scheduler() { return *scheduler_; }
  ListCommands* Commands() const;

  // Window visibility and the tray (UI thread).
  void ShowMainWindow();
  void HideMainWindow();
  void PrepareTrayMenu();  // exactly one of "显示" / "隐藏", and "退出"
  QMenu* TrayMenu() const { return trayMenu_; }
  QSystemTrayIcon* TrayIcon() const { return tray_; }
  bool ShowTrayBalloon(const std::string& title, const std::string& message, int iconKind,
                       int displayMilliseconds);

  // Removes the tray icon, disconnects from the mail server and emits ShutdownFinished, on
  // which the program quits. Runs once; a second call does nothing.
  void Shutdown();
  bool IsShutDown() const { return shutDown_; }

  PeriodTimer* TickTimer() const { return tickTimer_; }
  PeriodTimer* SweepTimer() const { return sweepTimer_; }
  PeriodTimer* CountTimer() const { return countTimer_; }

 signals:
  void ShutdownFinished();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // SchedulerControls
  void SetTickTimerPeriod(int milliseconds) override;
  void SetSweepTimerPeriod(int milliseconds) override;
  void SetStartEnabled(bool enabled) override;
  void SetStopEnabled(bool enabled) override;
  void SetRunningCountCaption(const std::string& caption) override;

  void BuildPage0(QWidget* canvas);
  void BuildPage1(QWidget* canvas);
  void BuildTray();
  void BindSettings();
  void BuildContext();
  void PlaceCanvases();
  void UpdateWindowFlags();
  bool eventFilter(QObject* watched, QEvent* event) override;

  MainWindowOptions options_;
  std::shared_ptr<UiBridge> bridge_;
  std::shared_ptr<MonitorContext> context_;
  std::shared_ptr<QtDesktop> desktop_;
  std::unique_ptr<QtListFileUi> listFileUi_;
  std::unique_ptr<MonitorScheduler> scheduler_;
  ListViewMirror* mirror_ = nullptr;  // owned by the context
  ListCommands* commands_ = nullptr;  // owned

  QTabWidget* tabs_ = nullptr;
  QWidget* canvas_[2] = {};
  LogView* log_ = nullptr;
  QPlainTextEdit* ledgerBox_ = nullptr;
  QTreeWidget* listView_ = nullptr;
  QPushButton* startButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QLabel* countLabel_ = nullptr;
  AlarmPlayer* player_ = nullptr;
  PeriodTimer* tickTimer_ = nullptr;
  PeriodTimer* sweepTimer_ = nullptr;
  PeriodTimer* countTimer_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QAction* showAction_ = nullptr;
  QAction* hideAction_ = nullptr;
  QAction* exitAction_ = nullptr;
  bool shutDown_ = false;
};

// The window's fixed client size. On a typical desktop the frame adds 16 x 38 pixels, which
// makes the outer size 903 x 607; Qt sets the client size, not the frame.
constexpr int kClientWidth = 887;
constexpr int kClientHeight = 569;

}  // namespace korvelin
