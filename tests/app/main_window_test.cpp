// The main window on the offscreen platform: every control of both pages, the setting
// handlers and the settings store, the tray menu, the balloon, the scheduler's controls,
// start-up and shutdown.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <future>
#include <thread>

#include "app/app.h"
#include "app/log_view.h"
#include "app/period_timer.h"
#include "app/product_dialog.h"
#include "app/text_convert.h"
#include "common/code_page.h"
#include "common/files.h"
#include "support/fake_smtp.h"

namespace korvelin {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppOptions options;
    options.useTray = false;
    app = std::make_unique<App>(options);
    window = &app->Window();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    tabs = window->findChild<QTabWidget*>(U("选择夹1"));
    ASSERT_NE(tabs, nullptr);
  }

  template <typename T>
  T* Find(const char* name) {
    T* widget = window->findChild<T*>(U(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  std::unique_ptr<App> app;
  MainWindow* window = nullptr;
  QTabWidget* tabs = nullptr;
};

TEST_F(MainWindowTest, WindowTitleSizeAndTabControl) {
  EXPECT_EQ(
      window->windowTitle(),
      U("Korvelin - 测试版 - 同一产品10分钟内不重复报警 - 监控范围(亚马逊)：中国 | 德国 | 日本 | "
        "美国 | 加拿大 | 英国 | 法国 | 意大利 | 荷兰"));
  EXPECT_EQ(window->size(), QSize(kClientWidth, kClientHeight));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_EQ(tabs->geometry(), QRect(-1, -1, 972, 620));
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), U("监控设置"));
  EXPECT_EQ(tabs->tabText(1), U("邮箱设置/帮助"));
}

struct ControlCase {
  const char* name;
  const char* kind;     // class name the widget inherits
  const char* caption;  // nullptr: not checked
  QRect place;          // relative to the tab control, or to the group box named below
  const char* groupBox;
  bool enabled;
  int ticked;  // -1 not a check box
  bool password;
  bool centred;
};

// clang-format off
const ControlCase kControls[] = {
    {"选择框报警", "QCheckBox", "开启声音提醒", {16, 27, 96, 24}, nullptr, true, 1, false, false},
    {"选择框开启邮件通知", "QCheckBox", "开启邮件通知", {141, 29, 93, 19}, nullptr, false, 0, false, false},
    {"选择框自动打开链接", "QCheckBox", "有货自动打开网页", {16, 52, 125, 19}, nullptr, true, 0, false, false},
    {"选择框气泡提醒", "QCheckBox", "最小化时弹出气泡", {141, 54, 116, 16}, nullptr, true, 1, false, false},
    {"选择框短息通知", "QCheckBox", "开启短信提醒(3条/天)", {16, 78, 140, 17}, nullptr, true, 0, false, false},
    {"编辑框手机号码", "QLineEdit", "", {166, 75, 113, 22}, nullptr, false, -1, false, true},
    {"标签1", "QLabel", "监控频率：", {16, 111, 56, 13}, nullptr, true, -1, false, false},
    {"编辑框频率", "QLineEdit", "5", {73, 107, 24, 20}, nullptr, true, -1, false, true},
    {"按钮开始监控", "QPushButton", "开始监控", {100, 105, 61, 23}, nullptr, true, -1, false, false},
    {"按钮停止监控", "QPushButton", "停止", {164, 105, 41, 23}, nullptr, false, -1, false, false},
    {"选择框超时跳过", "QCheckBox", "超时", {213, 105, 44, 24}, nullptr, true, 0, false, false},
    {"编辑框超时跳过", "QLineEdit", "15", {262, 106, 24, 20}, nullptr, false, -1, false, true},
    {"标签12", "QLabel", "秒跳过", {291, 109, 40, 16}, nullptr, true, -1, false, false},
    {"标签当前监控数", "QLabel", "当前监控数：", {185, 136, 122, 22}, nullptr, true, -1, false, false},
    {"编辑框日志", "korvelin::LogView", nullptr, {12, 136, 312, 433}, nullptr, true, -1, false, false},
    {"按钮导入产品", "QPushButton", "导入产品", {334, 26, 66, 30}, nullptr, true, -1, false, false},
    {"按钮加入一个产品", "QPushButton", "加入一个", {406, 26, 65, 30}, nullptr, true, -1, false, false},
    {"按钮清空产品列表", "QPushButton", "清空产品", {477, 26, 65, 30}, nullptr, true, -1, false, false},
    {"按钮导出产品列表", "QPushButton", "导出列表", {548, 26, 65, 30}, nullptr, true, -1, false, false},
    {"按钮全选", "QPushButton", "全  选", {619, 26, 66, 30}, nullptr, true, -1, false, false},
    {"按钮全不选", "QPushButton", "全不选", {691, 26, 65, 30}, nullptr, true, -1, false, false},
    {"按钮反选", "QPushButton", "反  选", {762, 26, 65, 30}, nullptr, true, -1, false, false},
    {"超级列表框监控列表", "QTreeWidget", nullptr, {334, 65, 493, 504}, nullptr, true, -1, false, false},
    {"编辑框通知状态栏", "QPlainTextEdit", "", {836, 28, 269, 541}, nullptr, false, -1, false, false},
    {"分组框邮箱设置", "QGroupBox", "邮箱设置", {19, 32, 288, 196}, nullptr, true, -1, false, false},
    {"标签3", "QLabel", "发件邮箱：", {11, 18, 57, 24}, "分组框邮箱设置", true, -1, false, false},
    {"编辑框发件邮箱", "QLineEdit", "@qq.com", {76, 18, 117, 24}, "分组框邮箱设置", true, -1, false, true},
    {"标签4", "QLabel", "发件密码：", {11, 52, 56, 24}, "分组框邮箱设置", true, -1, false, false},
    {"编辑框发件密码", "QLineEdit", "", {76, 54, 117, 24}, "分组框邮箱设置", true, -1, true, true},
    {"选择框显示密码", "QCheckBox", "显示密码", {206, 58, 71, 20}, "分组框邮箱设置", true, 0, false, false},
    {"标签5", "QLabel", "收件邮箱：", {11, 88, 57, 24}, "分组框邮箱设置", true, -1, false, false},
    {"编辑框收件邮箱", "QLineEdit", "", {76, 89, 117, 24}, "分组框邮箱设置", true, -1, false, true},
    {"按钮重新链接邮件", "QPushButton", "连 接", {206, 90, 64, 24}, "分组框邮箱设置", true, -1, false, false},
    {"标签6", "QLabel", "注：发件邮箱与收件邮箱可以为同一个。", {34, 130, 216, 16}, "分组框邮箱设置", true, -1, false, false},
    {"按钮发送测试邮件", "QPushButton", "发送测试邮件", {82, 156, 87, 27}, "分组框邮箱设置", true, -1, false, false},
    {"分组框2", "QGroupBox", "邮箱通知设置-示意图", {317, 32, 559, 434}, nullptr, true, -1, false, false},
    {"标签7", "QLabel", "①.登陆QQ邮箱，点击上面的【设置】", {14, 20, 456, 24}, "分组框2", true, -1, false, false},
    {"图片框1", "QLabel", nullptr, {14, 52, 455, 53}, "分组框2", true, -1, false, false},
    {"标签8", "QLabel", "②.进入【账户】选项卡", {14, 132, 141, 24}, "分组框2", true, -1, false, false},
    {"图片框2", "QLabel", nullptr, {14, 161, 463, 80}, "分组框2", true, -1, false, false},
    {"标签9", "QLabel", "③.往下面拉，开启【POP3/SMTP、IMAP/SMTP】服务", {14, 264, 469, 24}, "分组框2", true, -1, false, false},
    {"图片框3", "QLabel", nullptr, {14, 292, 528, 72}, "分组框2", true, -1, false, false},
    {"标签10", "QLabel", "注：如果发现邮箱一直连接失败，可能是由于SMTP服务没有开启，\n    根据上面的步骤，进入QQ邮箱开启后即可使用。", {18, 390, 360, 40}, "分组框2", true, -1, false, false},
    {"分组框3", "QGroupBox", "手机通知内容-示意图", {21, 241, 288, 224}, nullptr, true, -1, false, false},
    {"图片框4", "QLabel", nullptr, {16, 25, 257, 143}, "分组框3", true, -1, false, false},
    {"标签11", "QLabel", "注：如果手机突然收到类似上面的短信，\n    证明有产品降价了。", {21, 179, 227, 31}, "分组框3", true, -1, false, false},
};
// clang-format on

QString Caption(QWidget* widget) {
  if (auto* b = qobject_cast<QAbstractButton*>(widget)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(widget)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(widget)) return e->text();
  if (auto* g = qobject_cast<QGroupBox*>(widget)) return g->title();
  if (auto* p = qobject_cast<QPlainTextEdit*>(widget)) return p->toPlainText();
  return {};
}

TEST_F(MainWindowTest, EveryControlHasItsKindCaptionPlaceAndStartState) {
  for (int page = 0; page < 2; ++page) {
    tabs->setCurrentIndex(page);
    QCoreApplication::processEvents();
    // The page begins above and left of its highest and leftmost controls, so none is cut.
    const QPoint pageCorner = tabs->currentWidget()->mapTo(tabs, QPoint(0, 0));
    EXPECT_LE(pageCorner.y(), 26);
    EXPECT_LE(pageCorner.x(), 12);
    for (const ControlCase& c : kControls) {
      SCOPED_TRACE(c.name);
      QWidget* widget = window->findChild<QWidget*>(U(c.name));
      ASSERT_NE(widget, nullptr);
      if (!tabs->currentWidget()->isAncestorOf(widget)) continue;  // checked on its own page
      EXPECT_TRUE(widget->inherits(c.kind)) << widget->metaObject()->className();
      if (c.caption) {
        EXPECT_EQ(Caption(widget), U(c.caption));
      }
      QPoint topLeft;
      if (c.groupBox) {
        QWidget* box = window->findChild<QWidget*>(U(c.groupBox));
        ASSERT_EQ(widget->parentWidget(), box);
        topLeft = widget->pos();
      } else {
        topLeft = widget->mapTo(tabs, QPoint(0, 0));
      }
      EXPECT_EQ(QRect(topLeft, widget->size()), c.place);
      EXPECT_EQ(widget->isEnabled(), c.enabled);
      EXPECT_TRUE(widget->isVisible());
      if (c.ticked >= 0) {
        EXPECT_EQ(qobject_cast<QCheckBox*>(widget)->isChecked(), c.ticked == 1);
      }
      if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        EXPECT_EQ(edit->echoMode(), c.password ? QLineEdit::Password : QLineEdit::Normal);
        EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask,
                  c.centred ? Qt::AlignHCenter : Qt::AlignLeft);
      }
    }
  }
}

TEST_F(MainWindowTest, LooksOfLabelsLogLedgerAndList) {
  for (const char* name : {"标签当前监控数", "标签6", "标签10", "标签11"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Find<QLabel>(name)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  }
  EXPECT_EQ(Find<QLabel>("标签1")->palette().color(QPalette::WindowText), QColor(0, 0, 0));
  EXPECT_EQ(Find<QLabel>("标签当前监控数")->frameShape(), QFrame::Box);
  EXPECT_EQ(Find<QLabel>("标签1")->frameShape(), QFrame::NoFrame);
  for (const char* name : {"图片框1", "图片框2", "图片框3", "图片框4"}) {
    SCOPED_TRACE(name);
    auto* picture = Find<QLabel>(name);
    EXPECT_FALSE(picture->pixmap().isNull());
    EXPECT_TRUE(picture->hasScaledContents());
  }
  // The count label lies on the log box's corner and must not be hidden by it.
  auto* count = Find<QLabel>("标签当前监控数");
  EXPECT_EQ(count->parentWidget()->childAt(count->geometry().center()), count);

  auto* log = Find<LogView>("编辑框日志");
  EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(log->frameShape(), QFrame::Box);
  auto* ledger = Find<QPlainTextEdit>("编辑框通知状态栏");
  EXPECT_EQ(ledger->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  // It reaches past the window's right edge: only a strip of it is on the window.
  const int left = ledger->mapTo(window, QPoint(0, 0)).x();
  EXPECT_GT(left + ledger->width(), window->width());
  EXPECT_GE(window->width() - left, 50);
  EXPECT_LE(window->width() - left, 60);
}

TEST_F(MainWindowTest, SettingHandlersFollowTheClick) {
  auto* password = Find<QLineEdit>("编辑框发件密码");
  QTest::keyClicks(password, "secret");
  auto* show = Find<QCheckBox>("选择框显示密码");
  show->click();
  EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
  show->click();
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(password->text(), U("secret"));

  struct Pair {
    const char* check;
    const char* edit;
    const char* text;
  };
  for (const Pair& pair : {Pair{"选择框超时跳过", "编辑框超时跳过", "15"},
                           Pair{"选择框短息通知", "编辑框手机号码", ""}}) {
    SCOPED_TRACE(pair.check);
    auto* box = Find<QCheckBox>(pair.check);
    auto* edit = Find<QLineEdit>(pair.edit);
    EXPECT_FALSE(edit->isEnabled());
    box->click();
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(edit->text(), U(pair.text));
    box->click();
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(edit->text(), U(pair.text));
  }
}

TEST_F(MainWindowTest, ControlsWriteTheSettingsStore) {
  Settings& settings = *app->Context()->settings;
  EXPECT_TRUE(settings.IsTicked(Tick::Sound));
  EXPECT_TRUE(settings.IsTicked(Tick::Balloon));
  EXPECT_FALSE(settings.IsTicked(Tick::OpenPage));
  EXPECT_EQ(settings.Text(Edit::Sender), "@qq.com");

  Find<QCheckBox>("选择框自动打开链接")->click();
  Find<QCheckBox>("选择框报警")->click();
  Find<QCheckBox>("选择框超时跳过")->click();
  EXPECT_TRUE(settings.IsTicked(Tick::OpenPage));
  EXPECT_FALSE(settings.IsTicked(Tick::Sound));
  EXPECT_TRUE(settings.IsTicked(Tick::Timeout));

  auto* frequency = Find<QLineEdit>("编辑框频率");
  frequency->selectAll();
  QTest::keyClicks(frequency, "30");
  EXPECT_EQ(settings.Text(Edit::Frequency), "30");
  Find<QLineEdit>("编辑框收件邮箱")->setText(U("张三@qq.com"));
  EXPECT_EQ(settings.Text(Edit::Recipient), Ansi("张三@qq.com"));
}

TEST_F(MainWindowTest, TrayMenuOffersExactlyOneOfShowAndHide) {
  QMenu* menu = window->TrayMenu();
  ASSERT_NE(menu, nullptr);
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), U("显示"));
  EXPECT_EQ(actions[1]->text(), U("隐藏"));
  EXPECT_EQ(actions[2]->text(), U("退出"));

  window->PrepareTrayMenu();
  EXPECT_FALSE(actions[0]->isVisible());
  EXPECT_TRUE(actions[1]->isVisible());
  EXPECT_TRUE(actions[2]->isVisible());

  window->hide();
  window->PrepareTrayMenu();
  EXPECT_TRUE(actions[0]->isVisible());
  EXPECT_FALSE(actions[1]->isVisible());
  EXPECT_TRUE(actions[2]->isVisible());
  EXPECT_FALSE(app->Context()->desktop->IsMainWindowVisible());

  window->ShowMainWindow();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());
  EXPECT_TRUE(app->Context()->desktop->IsMainWindowVisible());
  EXPECT_EQ(window->TrayIcon()->toolTip(), U("Korvelin"));
  EXPECT_EQ(window->TrayIcon()->objectName(), U("托盘图标1"));
  const QList<QSize> sizes = window->TrayIcon()->icon().availableSizes();
  for (int size : {256, 48, 32, 24, 16}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

TEST_F(MainWindowTest, ActiveFlagFollowsActivation) {
  Desktop& desktop = *app->Context()->desktop;
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  EXPECT_TRUE(desktop.IsMainWindowActive());
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !desktop.IsMainWindowActive(); }, 5000));
}

TEST_F(MainWindowTest, WithoutTrayHidingOnlyMinimises) {
  window->HideMainWindow();
  QCoreApplication::processEvents();
  // No tray icon to bring it back: the window stays reachable from the taskbar.
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isMinimized());
}

TEST(MainWindowTrayTest, WithATrayMinimisingHidesAndDoubleClickToggles) {
  AppOptions options;
  options.useTray = true;
  App app(options);
  MainWindow& window = app.Window();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  Desktop& desktop = *app.Context()->desktop;
  window.showMinimized();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
  EXPECT_FALSE(desktop.IsMainWindowVisible());
  EXPECT_TRUE(desktop.IsMainWindowMinimised());

  emit window.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(desktop.IsMainWindowVisible());
  emit window.TrayIcon()->activated(QSystemTrayIcon::Trigger);  // a single click: nothing
  EXPECT_TRUE(window.isVisible());
  emit window.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());

  // "退出" while hidden ends the program and removes the icon.
  QSignalSpy finished(&app, &App::ShutdownFinished);
  window.TrayMenu()->actions().at(2)->trigger();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(window.TrayIcon()->isVisible());
}

TEST_F(MainWindowTest, BalloonIsRefusedWithoutTray) {
  EXPECT_FALSE(
      window->ShowTrayBalloon(Ansi("爱他美1"), Ansi("有货了！\r\n"), BalloonIcon::Warning, 0));
  // From a worker: the UI thread answers the hand-off while it processes its events.
  auto desktop = app->Context()->desktop;
  auto result = std::async(std::launch::async, [desktop] {
    return desktop->ShowTrayBalloon(Ansi("爱他美1"), "x", BalloonIcon::Warning, 0);
  });
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000));
  EXPECT_FALSE(result.get());
}

TEST_F(MainWindowTest, StartAndStopDriveTheTimersAndButtons) {
  auto* start = Find<QPushButton>("按钮开始监控");
  auto* stop = Find<QPushButton>("按钮停止监控");
  start->click();
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(stop->isEnabled());
  EXPECT_EQ(app->TickTimer()->Period(), 5000);
  EXPECT_TRUE(app->TickTimer()->IsRunning());
  EXPECT_EQ(app->SweepTimer()->Period(), 4000);
  QCoreApplication::processEvents();
  const std::string log = Find<LogView>("编辑框日志")->Text();
  EXPECT_NE(log.find("\r\n5" + Ansi("秒后进行监控~\r\n")), std::string::npos) << log;

  stop->click();
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_FALSE(app->TickTimer()->IsRunning());
  EXPECT_FALSE(app->SweepTimer()->IsRunning());
  EXPECT_EQ(app->Context()->MonitoringStopped.load(), 1);
}

TEST_F(MainWindowTest, CountTimerRunsFromTheStartAndShowsTheRunningChecks) {
  EXPECT_EQ(app->CountTimer()->Period(), 1000);
  EXPECT_TRUE(app->CountTimer()->IsRunning());
  app->Context()->RunningCheckCount = 3;
  auto* label = Find<QLabel>("标签当前监控数");
  EXPECT_TRUE(QTest::qWaitFor([&] { return label->text() == U("当前监控数：3"); }, 5000));
}

TEST_F(MainWindowTest, LedgerBoxMirrorsTheLedgerFromAnyThread) {
  auto ledger = app->Context()->ledger;
  std::thread([ledger] { ledger->SetText("a_x|1700000000000\r\n"); }).join();
  auto* box = Find<QPlainTextEdit>("编辑框通知状态栏");
  EXPECT_TRUE(QTest::qWaitFor([&] { return box->toPlainText() == U("a_x|1700000000000\n"); }, 5000))
      << box->toPlainText().toStdString();
  ledger->Clear();
  EXPECT_EQ(box->toPlainText(), QString());
}

TEST_F(MainWindowTest, MessagesFromWorkersAppearWithoutOwnerAndDoNotBlock) {
  auto desktop = app->Context()->desktop;
  std::thread([desktop] { desktop->ShowMessage(Ansi("连接邮箱成功！"), Ansi("信息：")); }).join();
  QMessageBox* box = nullptr;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
          if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
        }
        return box != nullptr;
      },
      5000));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), U("信息："));
  EXPECT_EQ(box->text(), U("连接邮箱成功！"));
  EXPECT_EQ(box->parentWidget(), nullptr);
  box->close();
}

TEST_F(MainWindowTest, ShutdownRemovesTheIconAndCutsOffWorkers) {
  QSignalSpy finished(app.get(), &App::ShutdownFinished);
  auto context = app->Context();
  window->close();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_TRUE(app->IsShutDown());
  EXPECT_FALSE(window->TrayIcon()->isVisible());
  // A check thread that outlives the window reaches no widget any more.
  auto* log = Find<LogView>("编辑框日志");
  const std::string before = log->Text();
  std::thread([context] {
    context->log->Append("late\r\n");
    EXPECT_FALSE(context->desktop->ShowTrayBalloon("t", "m", BalloonIcon::Warning, 0));
  }).join();
  QCoreApplication::processEvents();
  EXPECT_EQ(log->Text(), before);
  app->Shutdown();  // a second request does nothing
  EXPECT_EQ(finished.count(), 1);
  // The context may outlive the window.
  window = nullptr;
  app.reset();
  context->log->Append("after\r\n");
}

QMessageBox* VisibleMessageBox(const QString& text) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box && box->isVisible() && box->text() == text) return box;
  }
  return nullptr;
}

TEST(MainWindowMailTest, MailButtonsRunOnTheirOwnThreadsAndUpdateTheControls) {
  testing::FakeSmtp smtp;
  ASSERT_TRUE(smtp.Ok());
  AppOptions options;
  options.useTray = false;
  options.mailServer = MailServer{"127.0.0.1", smtp.Port()};
  App app(options);
  MainWindow& window = app.Window();
  window.show();
  window.findChild<QLineEdit*>(U("编辑框发件邮箱"))->setText(U("me@qq.com"));
  window.findChild<QLineEdit*>(U("编辑框发件密码"))->setText(U("pw"));
  window.findChild<QLineEdit*>(U("编辑框收件邮箱"))->setText(U("you@qq.com"));
  auto* connectButton = window.findChild<QPushButton*>(U("按钮重新链接邮件"));
  auto* mailAlerts = window.findChild<QCheckBox*>(U("选择框开启邮件通知"));

  connectButton->click();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (box = VisibleMessageBox(U("连接邮箱成功！"))) != nullptr; }, 10000));
  EXPECT_EQ(box->windowTitle(), U("信息："));
  box->close();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return connectButton->isEnabled() && connectButton->text() == U("连 接"); }, 5000));
  EXPECT_TRUE(mailAlerts->isEnabled());
  const std::string log = window.findChild<LogView*>(U("编辑框日志"))->Text();
  EXPECT_NE(log.find(Ansi("\r\n邮件通讯服务器连接成功，邮件通知功能正常...\r\n")),
            std::string::npos);

  auto* testButton = window.findChild<QPushButton*>(U("按钮发送测试邮件"));
  testButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !smtp.Messages().empty(); }, 10000));
  EXPECT_EQ(smtp.Messages().front().recipients, std::vector<std::string>{"you@qq.com"});
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return testButton->isEnabled() && testButton->text() == U("发送测试邮件"); }, 5000));
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMessageBox*>(w)) w->close();
  }
  window.close();
}

TEST(MainWindowStartTest, FirstStartShowsTheBuiltInListAndCreatesTheFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  AppOptions options;
  options.useTray = false;
  App app(options);
  MainWindow& window = app.Window();
  window.findChild<QTabWidget*>(U("选择夹1"))->setCurrentIndex(1);
  const std::string directory = dir.path().toStdString();
  app.Start(directory);
  EXPECT_EQ(window.findChild<QTabWidget*>(U("选择夹1"))->currentIndex(), 0);
  auto* view = window.findChild<QTreeWidget*>(U("超级列表框监控列表"));
  ASSERT_EQ(view->topLevelItemCount(), 17);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(view->topLevelItem(i)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(view->topLevelItem(0)->text(0), U("1"));
  EXPECT_EQ(view->topLevelItem(16)->text(0), U("17"));
  EXPECT_TRUE(FileExists(JoinPath(directory, "监控列表_默认.txt")));
  EXPECT_NE(app.Context()->marketplaces, nullptr);
  EXPECT_EQ(ModifyMode().load(), 0);
  ASSERT_NE(app.Commands(), nullptr);
  // The list buttons are wired to the list commands.
  window.findChild<QPushButton*>(U("按钮全选"))->click();
  EXPECT_EQ(app.Context()->products->MonitoredIds().size(), 17u);
  EXPECT_EQ(view->topLevelItem(16)->checkState(0), Qt::Checked);
  window.findChild<QPushButton*>(U("按钮反选"))->click();
  EXPECT_TRUE(app.Context()->products->MonitoredIds().empty());
}

TEST(MainWindowStartTest, StartLoadsTheListFileWhenItExists) {
  QTemporaryDir dir;
  const std::string directory = dir.path().toStdString();
  ASSERT_TRUE(WriteFileBytes(JoinPath(directory, "监控列表_默认.txt"),
                             Ansi("奶粉----B00D8V0972----60----德国\r\n")));
  AppOptions options;
  options.useTray = false;
  App app(options);
  MainWindow& window = app.Window();
  app.Start(directory);
  auto* view = window.findChild<QTreeWidget*>(U("超级列表框监控列表"));
  ASSERT_EQ(view->topLevelItemCount(), 1);
  const QStringList expected = {U("1"),  U("奶粉"), U("B00D8V0972"), QString(),
                                U("60"), U("德国"), QString()};
  for (int c = 0; c < 7; ++c) EXPECT_EQ(view->topLevelItem(0)->text(c), expected[c]) << c;
}

}  // namespace
}  // namespace korvelin
