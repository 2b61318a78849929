#include "app/qt_chinese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace korvelin {

QTranslator* InstallQtChinese(QCoreApplication& application) {
  // The program's own texts are Chinese; Qt's must match them on any desktop language.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  auto* translator = new QTranslator(&application);
  // qt_zh_CN loads qtbase_zh_CN and the other modules' files it names.
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QStringLiteral("qt_zh_CN"), folder) &&
      !translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

}  // namespace korvelin
