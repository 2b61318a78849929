#include "app/product_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

using ProductDialogTest = ListCommandsFixture;

template <typename T>
T* Child(QWidget* dialog, const char* name) {
  T* child = dialog->findChild<T*>(Q(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

QString BoxText(QWidget* dialog, const char* name) {
  return Child<QLineEdit>(dialog, name)->text();
}

// Types into the four fields and presses "确 定 加 入".
void FillAndConfirm(QWidget* dialog, const char* name, const char* code, const char* price,
                    int country) {
  Child<QLineEdit>(dialog, "编辑框产品名称")->setText(Q(name));
  Child<QLineEdit>(dialog, "编辑框产品编码")->setText(Q(code));
  Child<QLineEdit>(dialog, "编辑框设定价格")->setText(Q(price));
  Child<QComboBox>(dialog, "组合框1")->setCurrentIndex(country);
  Child<QPushButton>(dialog, "按钮1")->click();
}

std::vector<ProductDialog*> VisibleProductDialogs() {
  std::vector<ProductDialog*> dialogs;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<ProductDialog*>(widget); dialog && dialog->isVisible()) {
      dialogs.push_back(dialog);
    }
  }
  return dialogs;
}

TEST_F(ProductDialogTest, DialogHasItsControlsAtTheirPlaces) {
  ProductDialog dialog(
      list_, 0, [] {}, &View());
  EXPECT_EQ(dialog.windowTitle(), Q("加入一个产品"));
  EXPECT_EQ(dialog.size(), QSize(465, 151));
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);

  struct Control {
    const char* name;
    const char* text;  // nullptr: an edit box or the country list
    QRect place;
  };
  for (const Control& c : {Control{"标签1", "产品名称", {49, 14, 56, 17}},
                           Control{"编辑框产品名称", nullptr, {24, 37, 104, 32}},
                           Control{"标签2", "产品编码", {161, 14, 56, 17}},
                           Control{"编辑框产品编码", nullptr, {136, 37, 104, 32}},
                           Control{"标签3", "设定价格", {275, 14, 56, 17}},
                           Control{"编辑框设定价格", nullptr, {248, 37, 104, 32}},
                           Control{"标签4", "国  家", {378, 14, 42, 17}},
                           Control{"组合框1", nullptr, {362, 42, 70, 20}},
                           Control{"按钮1", "确 定 加 入", {149, 81, 160, 29}}}) {
    SCOPED_TRACE(c.name);
    QWidget* widget = Child<QWidget>(&dialog, c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), c.place);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), Q(c.text));
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), Q(c.text));
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      EXPECT_TRUE(edit->text().isEmpty());
    }
  }
  auto* countries = Child<QComboBox>(&dialog, "组合框1");
  EXPECT_FALSE(countries->isEditable());
  QStringList items;
  for (int i = 0; i < countries->count(); ++i) items << countries->itemText(i);
  EXPECT_EQ(items, (QStringList{Q("德国"), Q("日本"), Q("美国"), Q("加拿大"), Q("英国"), Q("荷兰"),
                                Q("法国"), Q("意大利"), Q("中国")}));
  EXPECT_EQ(countries->currentIndex(), 0);
}

TEST_F(ProductDialogTest, AddCleansTheFieldsAppendsANumberedRowAndSaves) {
  // Rows numbered 1 and 3 after a deletion: the new row takes its position + 1, i.e. 3.
  list_->Replace(
      {Entry("1", "奶粉一", "B001", "10", "德国"), Entry("3", "奶粉三", "B003", "30", "美国")});
  QString shownName, shownCode, shownPrice;
  bool modal = false;
  watcher_.Expect([&](QWidget* widget) {
    auto* dialog = qobject_cast<ProductDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    modal = dialog->isModal();
    EXPECT_EQ(ModifyMode().load(), 0);
    EXPECT_EQ(Child<QComboBox>(dialog, "组合框1")->currentIndex(), 0);
    FillAndConfirm(dialog, "　 宝宝 奶粉  ", " B0 0X 9 ", "4 2.5 ", 5);
    shownName = BoxText(dialog, "编辑框产品名称");
    shownCode = BoxText(dialog, "编辑框产品编码");
    shownPrice = BoxText(dialog, "编辑框设定价格");
  });

  Click("按钮加入一个产品");

  EXPECT_EQ(watcher_.Handled(), 1);
  EXPECT_TRUE(modal);
  EXPECT_EQ(shownName, Q("宝宝 奶粉"));
  EXPECT_EQ(shownCode, Q("B00X9"));
  EXPECT_EQ(shownPrice, Q("42.5"));
  ASSERT_EQ(list_->Count(), 3);
  EXPECT_EQ(*list_->Row(2), Entry("3", "宝宝 奶粉", "B00X9", "42.5", "荷兰"));
  EXPECT_TRUE(VisibleProductDialogs().empty());
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉三----B003----30----美国\r\n"
                             "宝宝 奶粉----B00X9----42.5----荷兰\r\n"));
}

TEST_F(ProductDialogTest, AddWithAnEmptyFieldStaysOpenThenTheCloseBoxAddsNothingButSaves) {
  FillThree(*list_);
  bool stayedOpen = false;
  QString shownCode;
  watcher_.Expect([&](QWidget* widget) {
    FillAndConfirm(widget, "奶粉", "  　 ", "12", 0);
    stayedOpen = widget->isVisible();
    shownCode = BoxText(widget, "编辑框产品编码");
    widget->close();  // the close box
  });

  Click("按钮加入一个产品");

  EXPECT_TRUE(stayedOpen);
  EXPECT_TRUE(shownCode.isEmpty());
  EXPECT_EQ(list_->Count(), 3);
  EXPECT_TRUE(VisibleProductDialogs().empty());
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉二----B002----20----日本\r\n"
                             "奶粉三----B003----30----美国\r\n"));
}

class ModifyTest : public ListCommandsFixture {
 protected:
  // Selects the row and chooses "修改" in the list menu; the dialog is not modal.
  ProductDialog* OpenModify(int index) {
    Select(index);
    RightClickList(RowCentre(index));
    ChooseMenuItem("修改");
    QCoreApplication::processEvents();
    return commands_.ModifyDialog();
  }
  void ExpectModificationEnded() {
    EXPECT_EQ(ModifyMode().load(), 0);
    EXPECT_TRUE(View().isEnabled());
    EXPECT_TRUE(VisibleProductDialogs().empty());
  }
};

TEST_F(ModifyTest, ModifyWritesTheFieldsAndKeepsCheckPriceAndMark) {
  FillThree(*list_);
  const RowId id = list_->IdAt(1);
  list_->SetMonitored(id, true);
  list_->SetCell(id, kCurrentPriceColumn, "19.99");
  list_->SetCell(id, kDropMarkColumn, Ansi("√"));

  ProductDialog* dialog = OpenModify(1);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(ModifyMode().load(), 1);
  EXPECT_FALSE(View().isEnabled());
  EXPECT_TRUE(window_.findChild<QPushButton*>(Q("按钮清空产品列表"))->isEnabled());
  EXPECT_EQ(BoxText(dialog, "编辑框产品名称"), Q("奶粉二"));
  EXPECT_EQ(BoxText(dialog, "编辑框产品编码"), Q("B002"));
  EXPECT_EQ(BoxText(dialog, "编辑框设定价格"), Q("20"));
  EXPECT_EQ(Child<QComboBox>(dialog, "组合框1")->currentIndex(), 1);

  FillAndConfirm(dialog, " 奶粉二号 ", "B0 02X", "1 5", 2);

  ProductEntry expected = Entry("2", "奶粉二号", "B002X", "15", "美国");
  expected.monitored = true;
  expected.currentPrice = "19.99";
  expected.dropMark = Ansi("√");
  EXPECT_EQ(list_->RowById(id), expected);
  EXPECT_EQ(Item(1)->text(kNameColumn), Q("奶粉二号"));
  ExpectModificationEnded();
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉二号----B002X----15----美国\r\n"
                             "奶粉三----B003----30----美国\r\n"));
}

TEST_F(ModifyTest, CountryIsSelectedByExactMatchElseGermany) {
  struct Case {
    const char* country;
    int item;
    const char* saved;
  };
  for (const Case& c : {Case{"荷兰", 5, "荷兰"}, Case{"中国", 8, "中国"}, Case{"波兰", 0, "德国"},
                        Case{"日本 ", 0, "德国"}, Case{"", 0, "德国"}}) {
    SCOPED_TRACE(c.country);
    list_->Replace({Entry("1", "奶粉", "B001", "10", c.country)});
    ProductDialog* dialog = OpenModify(0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Child<QComboBox>(dialog, "组合框1")->currentIndex(), c.item);
    Child<QPushButton>(dialog, "按钮1")->click();
    EXPECT_EQ(list_->Row(0)->country, Ansi(c.saved));
    EXPECT_EQ(ListFile(), Ansi("奶粉----B001----10----") + Ansi(c.saved) + "\r\n");
    ExpectModificationEnded();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(ModifyTest, CloseBoxLeavesTheRowAndSaves) {
  FillThree(*list_);
  const std::vector<ProductEntry> before = list_->Rows();
  ProductDialog* dialog = OpenModify(0);
  ASSERT_NE(dialog, nullptr);
  Child<QLineEdit>(dialog, "编辑框产品名称")->setText(Q("不要的"));

  dialog->close();

  EXPECT_EQ(list_->Rows(), before);
  ExpectModificationEnded();
  EXPECT_EQ(ListFile(), Ansi("奶粉一----B001----10----德国\r\n奶粉二----B002----20----日本\r\n"
                             "奶粉三----B003----30----美国\r\n"));
}

TEST_F(ModifyTest, AddWhileModifyingBringsTheOpenDialogForward) {
  FillThree(*list_);
  ProductDialog* dialog = OpenModify(2);
  ASSERT_NE(dialog, nullptr);

  Click("按钮加入一个产品");
  QCoreApplication::processEvents();

  EXPECT_EQ(watcher_.Unexpected(), 0);  // no second, modal dialog came up
  EXPECT_EQ(VisibleProductDialogs(), std::vector<ProductDialog*>{dialog});
  EXPECT_EQ(QApplication::activeWindow(), dialog);
  EXPECT_EQ(ModifyMode().load(), 1);
  EXPECT_EQ(list_->Count(), 3);
  EXPECT_EQ(ListFile(), "<none>");

  // The dialog still edits its row.
  FillAndConfirm(dialog, "奶粉三号", "B003", "30", 2);
  EXPECT_EQ(list_->Row(2)->name, Ansi("奶粉三号"));
  ExpectModificationEnded();
}

TEST_F(ModifyTest, ConfirmAfterTheRowWasReplacedChangesNoRowButSaves) {
  const std::string imported = PathIn("import.txt");
  ASSERT_TRUE(
      WriteFileBytes(imported, Ansi("新一----N001----1----英国\r\n新二----N002----2----法国\r\n")));
  struct Case {
    const char* command;
    std::string file;
  };
  for (const Case& c :
       {Case{"clear", ""},
        Case{"import", Ansi("新一----N001----1----英国\r\n新二----N002----2----法国\r\n")}}) {
    SCOPED_TRACE(c.command);
    FillThree(*list_);
    ProductDialog* dialog = OpenModify(1);
    ASSERT_NE(dialog, nullptr);
    if (std::string(c.command) == "clear") {
      BoxSeen question;
      watcher_.Expect(Press(QMessageBox::Yes, &question));
      Click("按钮清空产品列表");
    } else {
      ImportThroughDialog(imported);
    }
    const std::vector<ProductEntry> after = list_->Rows();

    FillAndConfirm(dialog, "改过的", "X1", "9", 3);

    EXPECT_EQ(list_->Rows(), after);
    ExpectModificationEnded();
    EXPECT_EQ(ListFile(), c.file);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
}  // namespace korvelin::testing
