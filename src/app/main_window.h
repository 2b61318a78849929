// The main window: two tab pages with every settings control, the activity log, the product
// list view and the ledger box, and the tray icon with its menu. It builds and shows the
// widgets and fills the typed handles to them; the wiring to the core is App's (app.h).
#pragma once

#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>
#include <optional>
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
  // `useTray` nothing: the tray icon is used whenever the desktop has a system tray, also
  // one that appears or goes away while the program runs. false: the tray icon is never
  // shown, and hiding the window minimises it. true: as if there always were a tray.
  explicit MainWindow(std::optional<bool> useTray = std::nullopt);
  ~MainWindow() override;

  // The controls of the two pages.
  const MonitorPage& Monitor() const { return monitor_; }
  const MailPage& Mail() const { return mail_; }
  QTabWidget* Tabs() const { return tabs_; }

  // Window visibility and the tray (UI thread).
  void ShowMainWindow();
  void HideMainWindow();
  void PrepareTrayMenu();  // exactly one of "显示" / "隐藏", and "退出"
  QMenu* TrayMenu() const { return trayMenu_.get(); }
  // Whether hiding goes to the tray now: a tray is there and the icon was not removed.
  bool TrayUsable() const;
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
  void SetReadingTabOrder();
  void BuildTray();
  void HideToTray();
  void WatchTray();         // a tray that appears later, or goes away
  void ShowOwnedDialogs();  // product dialogs the window manager minimised with the window
  void PlaceCanvases();
  void UpdateWindowFlags();
  bool eventFilter(QObject* watched, QEvent* event) override;

  std::optional<bool> useTray_;
  bool trayThere_ = false;  // the desktop's tray, as last seen
  bool statusNotifierTray_ = false;
  bool trayRemoved_ = false;
  QTabWidget* tabs_ = nullptr;
  QWidget* canvas_[2] = {};
  MonitorPage monitor_;
  MailPage mail_;
  QSystemTrayIcon* tray_ = nullptr;
  // Without a parent: a dialog that blocks the window must not block the tray menu.
  std::unique_ptr<QMenu> trayMenu_;
  QAction* showAction_ = nullptr;
  QAction* hideAction_ = nullptr;
  QAction* exitAction_ = nullptr;
};

// The window's fixed client size. On a typical desktop the frame adds 16 x 38 pixels, which
// makes the outer size 903 x 607; Qt sets the client size, not the frame.
constexpr int kClientWidth = 887;
constexpr int kClientHeight = 569;

}  // namespace korvelin
