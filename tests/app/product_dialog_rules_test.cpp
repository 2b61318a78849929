// The product dialog refuses fields the list file cannot hold, with a message naming the
// field and the reason; it takes a decimal comma and pasted product addresses; Enter
// confirms.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/product_dialog.h"
#include "list_test_fixture.h"

namespace korvelin::testing {
namespace {

using ProductDialogRulesTest = ListCommandsFixture;

struct Typed {
  const char* name;
  const char* code;
  const char* price;
};

void Fill(ProductDialog& dialog, const Typed& typed) {
  dialog.Widgets().name->setText(Q(typed.name));
  dialog.Widgets().code->setText(Q(typed.code));
  dialog.Widgets().price->setText(Q(typed.price));
}

TEST_F(ProductDialogRulesTest, RefusalsNameTheFieldAndTheReasonAndAddNothing) {
  struct Case {
    Typed typed;
    const char* message;
    QLineEdit* ProductDialogWidgets::*focused;
  };
  const Case cases[] = {
      {{"喜宝----有机", "B004X0XA6E", "60"},
       "产品名称中不能含有“----”（列表文件用它分隔各项），请修改！",
       &ProductDialogWidgets::name},
      {{"喜宝有机", "B004----X0XA6E", "60"},
       "产品编码中不能含有“----”（列表文件用它分隔各项），请修改！",
       &ProductDialogWidgets::code},
      {{"Aptamil Pre\nAnfangsmilch", "B00D8V08UK", "60"},
       "产品名称中不能含有换行，请改成一行！",
       &ProductDialogWidgets::name},
      {{"Größe 2", "B00D8V092W", "38"},
       "产品名称中的字符“ö”（U+00F6）无法存入产品列表文件，请删除或换用其他字符！",
       &ProductDialogWidgets::name},
      {{"奶粉", "B00D8V092W", "38\xF0\x9F\x98\x80"},
       "设定价格中的字符“\xF0\x9F\x98\x80”（U+1F600）无法存入产品列表文件，请删除或换用其他字符！",
       &ProductDialogWidgets::price},
      {{"奶粉", "B00D8V092W", "sechzig"},
       "设定价格必须是数字（例如 12.99），请修改！",
       &ProductDialogWidgets::price},
      {{"奶粉", "https://www.amazon.com.au/dp/B00D8V092W", "38"},
       "产品编码只填产品编码（例如 B00D8V0972），或粘贴九个站点之一的产品页面地址！",
       &ProductDialogWidgets::code},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    list_->Replace({});
    int saves = 0;
    ProductDialog dialog(
        list_, 0, [&] { ++saves; }, &View(), &window_);
    dialog.show();
    Fill(dialog, c.typed);
    BoxSeen seen;
    watcher_.Expect(Press(QMessageBox::Ok, &seen));
    dialog.Widgets().confirm->click();
    EXPECT_EQ(seen.title, Q("信息："));
    EXPECT_EQ(seen.text, Q(c.message));
    EXPECT_TRUE(dialog.isVisible());  // the dialog stays open for the correction
    EXPECT_EQ(list_->Count(), 0);
    EXPECT_EQ(dialog.focusWidget(), dialog.Widgets().*c.focused);
    EXPECT_EQ(saves, 0);
  }
  EXPECT_EQ(watcher_.Unexpected(), 0);
}

TEST_F(ProductDialogRulesTest, ADecimalCommaIsStoredWithAPoint) {
  ProductDialog dialog(
      list_, 0, [] {}, &View(), &window_);
  dialog.show();
  Fill(dialog, {"爱他美1", "B00D8V0972", "12,99"});
  dialog.Widgets().confirm->click();
  ASSERT_EQ(list_->Count(), 1);
  EXPECT_EQ(list_->Row(0)->targetPrice, "12.99");
  EXPECT_EQ(watcher_.Unexpected(), 0);
}

TEST_F(ProductDialogRulesTest, APastedProductAddressBecomesTheCodeAndSelectsItsCountry) {
  struct Case {
    const char* pasted;
    const char* country;
  };
  for (const Case& c : {Case{"https://www.amazon.de/dp/B00D8V0972/ref=sr_1_1?th=1", "德国"},
                        Case{"https://www.amazon.co.jp/gp/product/B00D8V0972", "日本"},
                        Case{"https://www.amazon.fr/product-reviews/B00D8V0972", "法国"}}) {
    SCOPED_TRACE(c.pasted);
    list_->Replace({});
    ProductDialog dialog(
        list_, 0, [] {}, &View(), &window_);
    dialog.show();
    dialog.Widgets().name->setText(Q("爱他美1"));
    dialog.Widgets().price->setText(Q("60"));
    // Pasted as the user pastes: into the focused code box.
    dialog.Widgets().code->setFocus();
    dialog.Widgets().code->insert(Q(c.pasted));
    dialog.Widgets().code->textEdited(dialog.Widgets().code->text());
    EXPECT_EQ(dialog.Widgets().code->text(), Q("B00D8V0972"));
    EXPECT_EQ(dialog.Widgets().country->currentText(), Q(c.country));
    dialog.Widgets().confirm->click();
    ASSERT_EQ(list_->Count(), 1);
    EXPECT_EQ(list_->Row(0)->code, "B00D8V0972");
    EXPECT_EQ(list_->Row(0)->country, Ansi(c.country));
  }
  // Put into the box without an edit (set by the program), the address is still read at
  // confirmation.
  list_->Replace({});
  ProductDialog dialog(
      list_, 0, [] {}, &View(), &window_);
  dialog.show();
  Fill(dialog, {"爱他美1", " https://www.amazon.it/dp/B00D8V0972 ", "60"});
  dialog.Widgets().confirm->click();
  ASSERT_EQ(list_->Count(), 1);
  EXPECT_EQ(list_->Row(0)->code, "B00D8V0972");
  EXPECT_EQ(list_->Row(0)->country, Ansi("意大利"));
}

TEST_F(ProductDialogRulesTest, EnterInAnyBoxConfirms) {
  for (QLineEdit* ProductDialogWidgets::*box :
       {&ProductDialogWidgets::name, &ProductDialogWidgets::code, &ProductDialogWidgets::price}) {
    list_->Replace({});
    ProductDialog dialog(
        list_, 0, [] {}, &View(), &window_);
    dialog.show();
    Fill(dialog, {"奶粉", "B001", "10"});
    (dialog.Widgets().*box)->setFocus();
    QTest::keyClick(dialog.Widgets().*box, Qt::Key_Return);
    EXPECT_EQ(list_->Count(), 1);
    EXPECT_FALSE(dialog.isVisible());
  }
  // On the country list and on the button too.
  list_->Replace({});
  ProductDialog dialog(
      list_, 0, [] {}, &View(), &window_);
  dialog.show();
  Fill(dialog, {"奶粉", "B001", "10"});
  dialog.Widgets().country->setFocus();
  QTest::keyClick(dialog.Widgets().country, Qt::Key_Enter);
  EXPECT_EQ(list_->Count(), 1);
}

}  // namespace
}  // namespace korvelin::testing
