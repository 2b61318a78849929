// The desktop side of loading and saving the product list: the open dialog (the desktop's
// own where it has one), a message box without owner centred on the main window, and one
// pass over the queued UI events. UI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include "products/product_store.h"

namespace korvelin {

class QtListFileUi : public ListFileUi {
 public:
  explicit QtListFileUi(QWidget* dialogParent);
  std::string ChooseOpenFile(const std::string& directory, const std::string& filter) override;
  void ShowMessage(const std::string& text, const std::string& title) override;
  void ProcessPendingEvents() override;

 private:
  QPointer<QWidget> dialogParent_;
};

// "文本文件|*.txt" as a Qt name filter: "文本文件 (*.txt)".
QString ToQtNameFilter(const QString& filter);

}  // namespace korvelin
