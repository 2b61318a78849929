// The keyboard rules: Delete and a double-click on a list row, Space on 开始监控 / 停止, and
// the Tab order of both pages.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/app.h"
#include "app/log_view.h"
#include "app/main_window.h"
#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

using ListKeyboardTest = ListCommandsFixture;

TEST_F(ListKeyboardTest, DeleteOnASelectedRowAsksTheDeleteQuestion) {
  FillThree(*list_);
  Select(1);
  View().setFocus();
  BoxSeen refused;
  watcher_.Expect(Press(QMessageBox::No, &refused));
  QTest::keyClick(&View(), Qt::Key_Delete);
  EXPECT_EQ(refused.title, Q("信息："));
  EXPECT_EQ(refused.text, Q("确定要删除【奶粉二】这个产品吗？"));
  EXPECT_EQ(list_->Count(), 3);

  BoxSeen accepted;
  watcher_.Expect(Press(QMessageBox::Yes, &accepted));
  QTest::keyClick(&View(), Qt::Key_Delete);
  EXPECT_EQ(accepted.text, Q("确定要删除【奶粉二】这个产品吗？"));
  ASSERT_EQ(list_->Count(), 2);
  EXPECT_EQ(list_->Row(1)->number, "3");
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉三----B003----30----美国\r\n"));

  // Without a selected row, Delete asks nothing.
  View().clearSelection();
  QTest::keyClick(&View(), Qt::Key_Delete);
  QTest::qWait(50);
  EXPECT_EQ(watcher_.Handled(), 2);
  EXPECT_EQ(watcher_.Unexpected(), 0);
}

TEST_F(ListKeyboardTest, ADoubleClickOnARowOpensItForModification) {
  FillThree(*list_);
  QWidget* viewport = View().viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(2));
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, RowCentre(2));
  QCoreApplication::processEvents();
  ProductDialog* dialog = commands_.ModifyDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(ModifyMode().load(), 1);
  EXPECT_EQ(dialog->Widgets().name->text(), Q("奶粉三"));
  EXPECT_FALSE(View().isEnabled());
  dialog->close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(View().isEnabled());
  EXPECT_EQ(ModifyMode().load(), 0);
}

class WindowKeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppOptions options;
    options.useTray = false;
    app_ = std::make_unique<App>(options);
    window_ = &app_->Window();
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  }
  std::unique_ptr<App> app_;
  MainWindow* window_ = nullptr;
};

TEST_F(WindowKeyboardTest, SpaceOnStartOrStopLeavesTheFocusOnTheOtherOne) {
  QPushButton* start = window_->Monitor().start;
  QPushButton* stop = window_->Monitor().stop;
  start->setFocus();
  ASSERT_TRUE(start->hasFocus());
  QTest::keyClick(start, Qt::Key_Space);
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(stop->hasFocus());
  QTest::keyClick(stop, Qt::Key_Space);
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_TRUE(start->hasFocus());
  // A second Space starts again; it never reaches "导入产品".
  QTest::keyClick(start, Qt::Key_Space);
  EXPECT_TRUE(stop->hasFocus());
  QTest::keyClick(stop, Qt::Key_Space);
  EXPECT_TRUE(start->hasFocus());
}

// The widgets Tab visits from `first`, until it comes back to `first` or leaves the page.
std::vector<QWidget*> TabWalk(QWidget* first, QWidget* page, int steps) {
  std::vector<QWidget*> seen;
  first->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < steps; ++i) {
    QWidget* now = QApplication::focusWidget();
    if (!now || !page->isAncestorOf(now)) break;
    seen.push_back(now);
    QTest::keyClick(now, Qt::Key_Tab);
  }
  return seen;
}

TEST_F(WindowKeyboardTest, TabFollowsTheReadingOrderOfEachPage) {
  const MonitorPage& m = window_->Monitor();
  const ListButtons& b = m.listButtons;
  // At the start 开启邮件通知 (until a mail connection), 停止, the phone box and the time-out
  // box are disabled; Tab skips them.
  const std::vector<QWidget*> page0 = {m.sound,      m.openPage,   m.balloon, m.sms,
                                       m.frequency,  m.start,      m.timeout, m.log,
                                       b.importList, b.addOne,     b.clear,   b.exportList,
                                       b.checkAll,   b.uncheckAll, b.invert,  m.productList};
  EXPECT_EQ(TabWalk(m.sound, window_->Tabs()->widget(0), 16), page0);

  window_->Tabs()->setCurrentIndex(1);
  const MailPage& p = window_->Mail();
  const std::vector<QWidget*> page1 = {p.sender,    p.password,      p.showPassword,
                                       p.recipient, p.connectButton, p.testButton};
  EXPECT_EQ(TabWalk(p.sender, window_->Tabs()->widget(1), 6), page1);
}

}  // namespace
}  // namespace korvelin::testing
