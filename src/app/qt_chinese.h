// Qt's own texts in Chinese: the buttons of message boxes and the file dialogs, the edit
// boxes' context menus. They come from Qt's zh_CN translation (Debian: qt6-translations-l10n).
#pragma once

class QCoreApplication;
class QTranslator;

namespace korvelin {

// Loads Qt's zh_CN translation into the application, whatever the desktop's language, and
// gives the installed translator (owned by the application). Nothing when the translation
// is not installed; Qt's texts then stay English.
QTranslator* InstallQtChinese(QCoreApplication& application);

}  // namespace korvelin
