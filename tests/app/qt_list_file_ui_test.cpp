// The list file's message box (at start-up: a list that does not read) is centred on the
// main window.
#include "app/qt_list_file_ui.h"

#include <gtest/gtest.h>

#include <QTest>

#include "common/code_page.h"
#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

TEST(QtListFileUi, TheMessageBoxIsCentredOnTheWindow) {
  for (bool shown : {false, true}) {
    QWidget window;
    window.setGeometry(130, 90, 887, 569);
    if (shown) {
      window.show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QtListFileUi ui(&window);
    ModalWatcher watcher;
    QPoint centre;
    QWidget* owner = &window;
    QString title;
    watcher.Expect([&](QWidget* box) {
      centre = box->geometry().center();
      owner = box->parentWidget();
      title = box->windowTitle();
      qobject_cast<QDialog*>(box)->accept();
    });
    ui.ShowMessage(Ansi("账号格式错误，请用[账号----密码]格式！"), Ansi("信息："));
    EXPECT_EQ(watcher.Handled(), 1);
    EXPECT_EQ(owner, nullptr);  // no owner window
    EXPECT_EQ(title, Q("信息："));
    EXPECT_LE((centre - window.geometry().center()).manhattanLength(), 8) << shown;
  }
}

}  // namespace
}  // namespace korvelin::testing
