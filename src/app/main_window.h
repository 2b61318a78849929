// The main window: two tab pages with every settings control, the activity log, the product
// list view and the ledger box, and the tray icon with its menu. It builds and shows the
// widgets and fills the typed handles to them; the wiring to the core is App's (app.h).
#pragma once

#include <QSystemTrayIcon>
#include <QWidget>
#include <string>

#include "app/widget_handles.h"
#include "common/ports.h"

class QAction;
class QMenu;
class QTabWidget;

namespace korvelin {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // Without `useTray` the tray icon is never shown, and hiding the window minimises it.
  explicit MainWindow(bool useTray = QSystemTrayIcon::isSystemTrayAvailable());
  ~MainWindow() override;

  // The controls of the two pages.
  const MonitorPage& Monitor() const { return monitor_; }
  const MailPage& Mail() const { return mail_; }
  QTabWidget* Tabs() const { return tabs_; }

  // Window visibility and the tray (UI thread).
  void ShowMainWindow();
  void HideMainWindow();
  void PrepareTrayMenu();  // exactly one of "显示" / "隐藏", and "退出"
  QMenu* TrayMenu() const { return trayMenu_; }
  QSystemTrayIcon* TrayIcon() const { return tray_; }
  bool ShowTrayBalloon(const std::string& title, const std::string& message, BalloonIcon icon,
                       int displayMilliseconds);

  // The first shutdown step: the tray icon goes and no balloon is shown any more; a
  // minimised window no longer hides to the tray.
  void RemoveTrayIcon();

 signals:
  // "退出" in the tray menu, or the window's close box.
  void ExitRequested();
  // Whenever the window may have been shown, hidden, minimised or restored.
  void WindowFlagsChanged(bool visible, bool minimised);
  void ActiveChanged(bool active);

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildPage0(QWidget* canvas);
  void BuildPage1(QWidget* canvas);
  void ConnectSettingHandlers();
  void BuildTray();
  void PlaceCanvases();
  void UpdateWindowFlags();
  bool eventFilter(QObject* watched, QEvent* event) override;

  bool useTray_;
  bool trayRemoved_ = false;
  QTabWidget* tabs_ = nullptr;
  QWidget* canvas_[2] = {};
  MonitorPage monitor_;
  MailPage mail_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QAction* showAction_ = nullptr;
  QAction* hideAction_ = nullptr;
  QAction* exitAction_ = nullptr;
};

// The window's fixed client size. On a typical desktop the frame adds 16 x 38 pixels, which
// makes the outer size 903 x 607; Qt sets the client size, not the frame.
constexpr int kClientWidth = 887;
constexpr int kClientHeight = 569;

}  // namespace korvelin
