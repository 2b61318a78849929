// Shared pieces of the list command and product dialog tests: a window with the seven list
// buttons and the real list view and its mirror, the real list file UI (open dialog, message
// box), the test support's recording desktop, a program directory of its own, and a watcher
// that answers the modal dialogs a command opens.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/list_commands.h"
#include "app/list_view_mirror.h"
#include "app/qt_list_file_ui.h"
#include "app/ui_bridge.h"
#include "common/code_page.h"
#include "common/files.h"
#include "products/product_store.h"
#include "support/recording_ports.h"

namespace korvelin::testing {

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Answers the modal widgets that come up, in order: each handler gets the next modal widget
// that becomes active. Polls from the event loop, so it also works inside exec().
class ModalWatcher {
 public:
  using Handler = std::function<void(QWidget*)>;
  ModalWatcher() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  void Expect(Handler handler) { pending_.push_back(std::move(handler)); }
  int Handled() const { return handled_; }
  // Modal widgets that showed up with no handler left (each is rejected so the test goes on).
  int Unexpected() const { return unexpected_; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == last_) return;
    last_ = modal;
    if (pending_.empty()) {
      ++unexpected_;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      return;
    }
    Handler handler = std::move(pending_.front());
    pending_.pop_front();
    ++handled_;
    QPointer<QWidget> guard = modal;
    handler(modal);
    // A handler that failed may have left its dialog open: close it so the test ends.
    if (guard && guard->isVisible() && ::testing::Test::HasFailure()) {
      if (auto* dialog = qobject_cast<QDialog*>(guard.data())) dialog->reject();
    }
  }

  QTimer timer_;
  std::deque<Handler> pending_;
  QPointer<QWidget> last_;
  int handled_ = 0;
  int unexpected_ = 0;
};

struct BoxSeen {
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
};

// Records a message box and presses one of its buttons.
inline ModalWatcher::Handler Press(QMessageBox::StandardButton button, BoxSeen* seen) {
  return [button, seen](QWidget* widget) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    ASSERT_NE(box, nullptr) << "expected a message box";
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->buttons = box->standardButtons();
    ASSERT_NE(box->button(button), nullptr);
    box->button(button)->click();
  };
}

struct FileDialogSeen {
  QString directory;
  QString fileName;
  QStringList nameFilters;
  bool nonNative = false;
  QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
};

// Records a file dialog, then types `path` and presses its accept button (an empty path
// presses Cancel).
inline ModalWatcher::Handler ChooseFile(QString path, FileDialogSeen* seen) {
  return [path, seen](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr) << "expected a file dialog";
    auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(nameEdit, nullptr);
    ASSERT_NE(buttons, nullptr);
    seen->directory = dialog->directory().absolutePath();
    seen->fileName = nameEdit->text();
    seen->nameFilters = dialog->nameFilters();
    seen->nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
    seen->acceptMode = dialog->acceptMode();
    if (path.isEmpty()) {
      buttons->button(QDialogButtonBox::Cancel)->click();
      return;
    }
    nameEdit->setText(path);
    for (QAbstractButton* button : buttons->buttons()) {
      if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
        button->click();
        return;
      }
    }
    ADD_FAILURE() << "no accept button";
  };
}

inline ProductEntry Entry(const char* number, const char* name, const char* code, const char* price,
                          const char* country) {
  ProductEntry entry;
  entry.number = number;
  entry.name = Ansi(name);
  entry.code = code;
  entry.targetPrice = price;
  entry.country = Ansi(country);
  return entry;
}

inline void FillThree(ProductList& list) {
  list.Replace({Entry("1", "奶粉一", "B001", "10", "德国"),
                Entry("2", "奶粉二", "B002", "20", "日本"),
                Entry("3", "奶粉三", "B003", "30", "美国")});
}

// The main window's part that the list commands work on.
class ListCommandsFixture : public ::testing::Test {
 protected:
  ListCommandsFixture()
      : list_(std::make_shared<ProductList>()),
        directory_(dir_.path().toStdString()),
        ui_(&window_),
        view_(CreateProductListView(&window_)),
        bridge_(std::make_shared<UiBridge>(&window_)),
        mirror_(bridge_, list_, view_),
        commands_(view_, list_, std::make_shared<const MarketplaceTable>(), desktop_, ui_,
                  directory_, &window_) {
    list_->SetListener(&mirror_);
    auto* layout = new QVBoxLayout(&window_);
    ListButtons buttons;
    for (auto [handle, name] : {std::pair{&buttons.importList, "按钮导入产品"},
                                {&buttons.addOne, "按钮加入一个产品"},
                                {&buttons.clear, "按钮清空产品列表"},
                                {&buttons.exportList, "按钮导出产品列表"},
                                {&buttons.checkAll, "按钮全选"},
                                {&buttons.uncheckAll, "按钮全不选"},
                                {&buttons.invert, "按钮反选"}}) {
      *handle = new QPushButton(Q(name), &window_);
      (*handle)->setObjectName(Q(name));
      layout->addWidget(*handle);
    }
    layout->addWidget(view_);
    EXPECT_TRUE(commands_.ConnectControls(buttons));
    ModifyMode() = 0;  // as at start-up
    window_.resize(520, 640);
    window_.show();
  }
  ~ListCommandsFixture() override {
    list_->SetListener(nullptr);
    // Dialogs deleted on close are released before the next test.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QTreeWidget& View() { return *view_; }
  QTreeWidgetItem* Item(int index) { return view_->topLevelItem(index); }
  void Select(int index) {
    view_->clearSelection();
    if (index >= 0) Item(index)->setSelected(true);
  }
  // Imports `path` through the open dialog (an empty path cancels it).
  FileDialogSeen ImportThroughDialog(const std::string& path) {
    FileDialogSeen seen;
    watcher_.Expect(ChooseFile(QString::fromStdString(path), &seen));
    Click("按钮导入产品");
    return seen;
  }

  void Click(const char* buttonName) {
    auto* button = window_.findChild<QPushButton*>(Q(buttonName));
    ASSERT_NE(button, nullptr) << buttonName;
    button->click();
  }
  // The list file in the program directory; "<none>" when it was never written.
  std::string ListFile() const {
    const std::string path = ProductListFilePath(directory_);
    return FileExists(path) ? ReadFileBytes(path) : std::string("<none>");
  }
  std::string PathIn(const char* name) const { return JoinPath(directory_, name); }
  // A right click on the list view at a point of its viewport.
  void RightClickList(QPoint viewportPos) {
    QWidget* viewport = view_->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, viewportPos,
                            viewport->mapToGlobal(viewportPos));
    QApplication::sendEvent(viewport, &event);
  }
  QPoint RowCentre(int index) { return view_->visualItemRect(Item(index)).center(); }
  void ChooseMenuItem(const char* text) {
    QMenu* menu = commands_.ListMenu();
    ASSERT_TRUE(menu->isVisible());
    for (QAction* action : menu->actions()) {
      if (action->text() == Q(text)) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        return;
      }
    }
    ADD_FAILURE() << "no menu item " << text;
  }

  std::shared_ptr<ProductList> list_;
  QTemporaryDir dir_;
  std::string directory_;
  RecordingDesktop desktop_;
  QWidget window_;
  QtListFileUi ui_;
  QTreeWidget* view_;  // owned by window_
  std::shared_ptr<UiBridge> bridge_;
  ListViewMirror mirror_;
  ListCommands commands_;
  ModalWatcher watcher_;
};

}  // namespace korvelin::testing
