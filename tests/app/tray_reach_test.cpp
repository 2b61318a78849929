// The window stays reachable through the tray while a product dialog is open.
#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include "app/app.h"
#include "app/main_window.h"
#include "app/product_dialog.h"
#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

using AddDialogReachTest = ListCommandsFixture;

TEST_F(AddDialogReachTest, TheAddDialogBlocksOnlyTheMainWindow) {
  Qt::WindowModality modality = Qt::NonModal;
  watcher_.Expect([&](QWidget* widget) {
    modality = widget->windowModality();
    widget->close();
  });
  Click("按钮加入一个产品");
  EXPECT_EQ(watcher_.Handled(), 1);
  // Application-modal would block the tray icon and its menu too.
  EXPECT_EQ(modality, Qt::WindowModal);
}

TEST(TrayReachTest, TheTrayMenuBelongsToNoWindowAndDialogsComeBackWithTheWindow) {
  AppOptions options;
  options.useTray = true;
  App app(options);
  MainWindow& window = app.Window();
  // A dialog modal to the window blocks the window's own popups; the tray menu is none.
  EXPECT_EQ(window.TrayMenu()->parent(), nullptr);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  auto list = std::make_shared<ProductList>();
  list->Replace({});
  ProductDialog dialog(
      list, 0, [] {}, nullptr, &window);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  // The window manager minimises the dialog together with its window; the window goes to
  // the tray.
  dialog.showMinimized();
  window.HideMainWindow();
  EXPECT_FALSE(window.isVisible());
  emit window.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.isMinimized());
}

}  // namespace
}  // namespace korvelin::testing
