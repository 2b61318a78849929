#include "app/qt_list_file_ui.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPoint>

#include "app/text_convert.h"

namespace korvelin {

QtListFileUi::QtListFileUi(QWidget* dialogParent, std::shared_ptr<ActivityLog> log)
    : dialogParent_(dialogParent), log_(std::move(log)) {}

QString ToQtNameFilter(const QString& filter) {
  // Pairs of description and pattern, all separated by "|".
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    filters << parts[i] + QStringLiteral(" (") +
                   QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   QLatin1Char(')');
  }
  if (filters.isEmpty()) return filter;
  return filters.join(QStringLiteral(";;"));
}

std::string QtListFileUi::ChooseOpenFile(const std::string& directory, const std::string& filter) {
  QFileDialog dialog(dialogParent_, QString(), PathToQString(directory),
                     ToQtNameFilter(ToQString(filter)));
  dialog.setObjectName(QStringLiteral("通用对话框1"));
  // The desktop's own file dialog where it has one (GNOME, KDE, a portal), else Qt's; both
  // open in `directory`.
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return QStringToPath(dialog.selectedFiles().first());
}

void QtListFileUi::ShowMessage(const std::string& text, const std::string& title) {
  // Start-up and the list commands wait for the user here, as a message box does.
  QMessageBox box(QMessageBox::NoIcon, ToQString(title),
                  ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                  QMessageBox::Ok);
  box.setObjectName(QStringLiteral("信息框"));
  // No owner, but centred on the main window (at start-up, where it is about to appear).
  if (dialogParent_) {
    QWidget* window = dialogParent_->window();
    box.adjustSize();
    box.move(window->geometry().center() - QPoint(box.width() / 2, box.height() / 2));
  }
  box.exec();
}

void QtListFileUi::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void QtListFileUi::AppendLog(const std::string& entry) {
  if (log_) log_->Append(entry);
}

}  // namespace korvelin
