// Qt's own buttons speak Chinese once its zh_CN translation is installed.
#include "app/qt_chinese.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>

namespace korvelin {
namespace {

TEST(QtChinese, MessageBoxAndDialogButtonsAreChinese) {
  const QLocale before;
  QTranslator* translator = InstallQtChinese(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is needed";
  {
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Yes | QDialogButtonBox::No);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("取消"));
    EXPECT_TRUE(buttons.button(QDialogButtonBox::Yes)->text().startsWith(QString::fromUtf8("是")))
        << buttons.button(QDialogButtonBox::Yes)->text().toStdString();
    EXPECT_TRUE(buttons.button(QDialogButtonBox::No)->text().startsWith(QString::fromUtf8("否")));
  }
  EXPECT_EQ(QLocale().name(), QStringLiteral("zh_CN"));
  // The other tests run with Qt's texts as they were.
  QCoreApplication::removeTranslator(translator);
  delete translator;
  QLocale::setDefault(before);
}

}  // namespace
}  // namespace korvelin
