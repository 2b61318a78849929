#include "app/product_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <string>

#include "app/text_convert.h"
#include "common/code_page.h"
#include "common/text.h"

namespace korvelin {
namespace {

// The country list, in item order; the first one that equals a row's country is selected.
constexpr std::array<const char*, 9> kCountries = {"德国", "日本", "美国",   "加拿大", "英国",
                                                   "荷兰", "法国", "意大利", "中国"};

struct Place {
  int left, top, width, height;
};

void Put(QWidget* widget, const char* name, Place place) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(place.left, place.top, place.width, place.height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, Place place) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  Put(label, name, place);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, Place place) {
  auto* edit = new QLineEdit(parent);
  Put(edit, name, place);
  return edit;
}

}  // namespace

std::atomic<int>& ModifyMode() {
  static std::atomic<int> modifyMode{0};
  return modifyMode;
}

ProductDialog::ProductDialog(std::shared_ptr<ProductList> list, RowId row,
                             std::function<void()> saveList, QWidget* listView, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      list_(std::move(list)),
      row_(row),
      saveList_(std::move(saveList)),
      listView_(listView) {
  setWindowTitle(QString::fromUtf8("加入一个产品"));
  setFixedSize(465, 151);

  ProductDialogWidgets& w = widgets_;
  w.nameLabel = MakeLabel(this, "标签1", "产品名称", {49, 14, 56, 17});
  w.name = MakeEdit(this, "编辑框产品名称", {24, 37, 104, 32});
  w.codeLabel = MakeLabel(this, "标签2", "产品编码", {161, 14, 56, 17});
  w.code = MakeEdit(this, "编辑框产品编码", {136, 37, 104, 32});
  w.priceLabel = MakeLabel(this, "标签3", "设定价格", {275, 14, 56, 17});
  w.price = MakeEdit(this, "编辑框设定价格", {248, 37, 104, 32});
  w.countryLabel = MakeLabel(this, "标签4", "国  家", {378, 14, 42, 17});

  w.country = new QComboBox(this);
  w.country->setEditable(false);
  for (const char* country : kCountries) w.country->addItem(QString::fromUtf8(country));
  w.country->setCurrentIndex(0);
  Put(w.country, "组合框1", {362, 42, 70, 20});

  w.confirm = new QPushButton(QString::fromUtf8("确 定 加 入"), this);
  Put(w.confirm, "按钮1", {149, 81, 160, 29});
  // Enter in an edit box must not act as a hidden default button.
  w.confirm->setAutoDefault(false);
  connect(w.confirm, &QPushButton::clicked, this, &ProductDialog::Confirm);

  if (row_ != 0) FillFromRow();
}

void ProductDialog::FillFromRow() {
  const std::optional<ProductEntry> entry = list_->RowById(row_);
  if (!entry) return;
  widgets_.name->setText(ToQString(entry->name));
  widgets_.code->setText(ToQString(entry->code));
  widgets_.price->setText(ToQString(entry->targetPrice));
  for (int i = 0; i < static_cast<int>(kCountries.size()); ++i) {
    if (entry->country == Ansi(kCountries[i])) {
      widgets_.country->setCurrentIndex(i);
      break;
    }
  }
}

void ProductDialog::Confirm() {
  const std::string name = TrimSpaces(ToAnsi(widgets_.name->text()));
  const std::string code = RemoveSpaces(ToAnsi(widgets_.code->text()));
  const std::string price = RemoveSpaces(ToAnsi(widgets_.price->text()));
  widgets_.name->setText(ToQString(name));
  widgets_.code->setText(ToQString(code));
  widgets_.price->setText(ToQString(price));
  if (name.empty() || code.empty() || price.empty()) return;
  const std::string country = ToAnsi(widgets_.country->currentText());

  if (row_ != 0) {
    // The row is addressed by its identity: when it was removed or replaced meanwhile,
    // every write is ignored and no other row is touched.
    list_->SetCell(row_, kNameColumn, name);
    list_->SetCell(row_, kCodeColumn, code);
    list_->SetCell(row_, kTargetPriceColumn, price);
    list_->SetCell(row_, kCountryColumn, country);
    QCoreApplication::processEvents();
    ModifyMode() = 0;
    if (listView_) listView_->setEnabled(true);
    saveList_();
  } else {
    ProductEntry entry;
    // Only the UI thread adds or removes rows, so the count cannot change before Append.
    entry.number = std::to_string(list_->Count() + 1);
    entry.name = name;
    entry.code = code;
    entry.targetPrice = price;
    entry.country = country;
    list_->Append(std::move(entry));
  }
  QCoreApplication::processEvents();
  accept();
}

void ProductDialog::reject() {
  ModifyMode() = 0;
  QCoreApplication::processEvents();
  if (listView_) listView_->setEnabled(true);
  QCoreApplication::processEvents();
  saveList_();
  QCoreApplication::processEvents();
  QDialog::reject();
}

}  // namespace korvelin
