#include "app/product_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <array>
#include <string>

#include "app/text_convert.h"
#include "common/code_page.h"
#include "common/text.h"
#include "monitor/marketplace.h"
#include "monitor/product_address.h"
#include "products/product_fields.h"

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

// The dialog's messages when it refuses the typed fields; the field is named by its label.
constexpr const char* kRefusalTitle = "信息：";
constexpr const char* kFieldNames[] = {"产品名称", "产品编码", "设定价格"};
constexpr const char* kNotStorableStart = "中的字符“";
constexpr const char* kNotStorableEnd = "无法存入产品列表文件，请删除或换用其他字符！";
constexpr const char* kSeparator = "中不能含有“----”（列表文件用它分隔各项），请修改！";
constexpr const char* kLineBreak = "中不能含有换行，请改成一行！";
constexpr const char* kNotANumber = "必须是数字（例如 12.99），请修改！";
constexpr const char* kNotACode =
    "只填产品编码（例如 B00D8V0972），或粘贴九个站点之一的产品页面地址！";

QString RefusalMessage(const FieldProblem& problem) {
  const QString field = QString::fromUtf8(kFieldNames[static_cast<int>(problem.field)]);
  switch (problem.fault) {
    case FieldFault::NotStorable: {
      const QString character = QString::fromUtf8(problem.character);
      // The character and its code point, so that an invisible one can be found too.
      const uint point = character.isEmpty() ? 0xFFFD : character.toUcs4().value(0);
      const QString code =
          QStringLiteral("”（U+%1）").arg(point, 4, 16, QLatin1Char('0')).toUpper();
      return field + QString::fromUtf8(kNotStorableStart) + character + code +
             QString::fromUtf8(kNotStorableEnd);
    }
    case FieldFault::Separator:
      return field + QString::fromUtf8(kSeparator);
    case FieldFault::LineBreak:
      return field + QString::fromUtf8(kLineBreak);
    case FieldFault::NotANumber:
      return field + QString::fromUtf8(kNotANumber);
    case FieldFault::NotACode:
      return field + QString::fromUtf8(kNotACode);
    case FieldFault::None:
      break;
  }
  return {};
}

// The marketplaces whose product addresses the code box understands.
const MarketplaceTable& AddressTable() {
  static const MarketplaceTable table;
  return table;
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
  // Enter confirms the dialog from any of its boxes.
  w.confirm->setDefault(true);
  connect(w.confirm, &QPushButton::clicked, this, &ProductDialog::Confirm);
  // A product page address pasted or typed into the code box becomes the code alone, and
  // the country list shows the address's marketplace.
  connect(w.code, &QLineEdit::textEdited, this, [this] { TakeProductAddress(); });

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

bool ProductDialog::TakeProductAddress() {
  const std::string typed = widgets_.code->text().trimmed().toStdString();
  const std::optional<ProductAddress> address = ParseProductAddress(typed, AddressTable());
  if (!address) return false;
  widgets_.code->setText(ToQString(address->code));
  for (int i = 0; i < static_cast<int>(kCountries.size()); ++i) {
    if (address->countryName == Ansi(kCountries[i])) widgets_.country->setCurrentIndex(i);
  }
  return true;
}

void ProductDialog::Refuse(const FieldProblem& problem) {
  QLineEdit* boxes[] = {widgets_.name, widgets_.code, widgets_.price};
  QLineEdit* box = boxes[static_cast<int>(problem.field)];
  // Owned by the dialog, so it shows above the dialog, which stays on top.
  QMessageBox message(QMessageBox::Information, QString::fromUtf8(kRefusalTitle),
                      RefusalMessage(problem), QMessageBox::Ok, this);
  message.setObjectName(QStringLiteral("产品对话框提示"));
  message.exec();
  box->setFocus();
  box->selectAll();
}

void ProductDialog::Confirm() {
  // Checked before the texts become code page 936, which writes "?" for such a character.
  const FieldProblem unstorable =
      CheckStorable(widgets_.name->text().toStdString(), widgets_.code->text().toStdString(),
                    widgets_.price->text().toStdString());
  if (unstorable.fault != FieldFault::None) {
    Refuse(unstorable);
    return;
  }
  TakeProductAddress();
  const std::string name = TrimSpaces(ToAnsi(widgets_.name->text()));
  const std::string code = RemoveSpaces(ToAnsi(widgets_.code->text()));
  const std::string price = PriceWithPoint(RemoveSpaces(ToAnsi(widgets_.price->text())));
  widgets_.name->setText(ToQString(name));
  widgets_.code->setText(ToQString(code));
  widgets_.price->setText(ToQString(price));
  if (name.empty() || code.empty() || price.empty()) return;
  if (const FieldProblem problem = CheckProductFields(name, code, price);
      problem.fault != FieldFault::None) {
    Refuse(problem);
    return;
  }
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
