// The desktop side of loading and saving the product list: the open dialog (the desktop's
// own where it has one), a message box without owner centred on the main window, and one
// pass over the queued UI events. UI thread only.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "common/ports.h"
#include "products/product_store.h"

namespace korvelin {

class QtListFileUi : public ListFileUi {
 public:
  // `log` takes the entries of the list file's saving (none when it is empty).
  explicit QtListFileUi(QWidget* dialogParent, std::shared_ptr<ActivityLog> log = nullptr);
  std::string ChooseOpenFile(const std::string& directory, const std::string& filter) override;
  void ShowMessage(const std::string& text, const std::string& title) override;
  void ProcessPendingEvents() override;
  void AppendLog(const std::string& entry) override;

 private:
  QPointer<QWidget> dialogParent_;
  std::shared_ptr<ActivityLog> log_;
};

// "文本文件|*.txt" as a Qt name filter: "文本文件 (*.txt)".
QString ToQtNameFilter(const QString& filter);

}  // namespace korvelin
