// Loading the product list from a text, a file or a file the user picks, and saving it to
// the default list file 监控列表_默认.txt in the program directory. Both run on the UI
// thread; what they need from the desktop comes through ListFileUi.
#pragma once

#include <string>

#include "products/product_list.h"

namespace korvelin {

// The desktop side of loading and saving. The app implements it on Qt (a non-native open
// dialog, a message box, processing the queued UI events); tests implement it in memory.
class ListFileUi {
 public:
  virtual ~ListFileUi() = default;
  // An open-file dialog starting in `directory` with `filter` ("文本文件|*.txt": a
  // description, "|", a pattern), both code page 936. The chosen path (code page 936),
  // or the empty text when the user cancels.
  virtual std::string ChooseOpenFile(const std::string& directory, const std::string& filter) = 0;
  // A message box with one OK button and no owner window.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
  // Dispatches the events queued for the UI thread once and returns.
  virtual void ProcessPendingEvents() = 0;
};

// The name of the default list file, code page 936.
const std::string& ProductListFileName();
// directory + the default list file's name.
std::string ProductListFilePath(const std::string& directory);

// The message shown when a loaded text holds no "----", and its title (code page 936).
const std::string& ListFormatErrorMessage();
const std::string& ListFormatErrorTitle();

enum class LoadOutcome {
  kLoaded,       // the rows were replaced by the rows of the text
  kFormatError,  // the text held no "----": message shown, rows kept
  kCancelled,    // the open dialog was cancelled: nothing parsed
};

// Fills `list` from one source, then saves it to the default list file in `directory`:
//  1. `listText` of 9 bytes or more: that text as it is;
//  2. else `filePath` of 4 bytes or more: the file's bytes up to the first NUL, trimmed
//     of spaces at both ends;
//  3. else the file the user picks in an open dialog starting in `directory`, read as in
//     2; a cancelled dialog parses nothing.
// In every case the end is: process pending events, save, process pending events; only
// when the source was the default list file itself and it held no list, the save is left
// out, so an unreadable list file is never overwritten.
LoadOutcome LoadProductList(ProductList& list, const std::string& listText,
                            const std::string& filePath, const std::string& directory,
                            ListFileUi& ui);

// Writes every row to directory + 监控列表_默认.txt, replacing the file atomically (a
// temporary file in the same folder renamed over it, so a crash or a full disk never
// leaves a half-written list), then processes pending events. A folder that cannot be
// written leaves the old file as it was and is not reported to the user; the result
// says whether the file was written.
bool SaveProductList(const ProductList& list, const std::string& directory, ListFileUi& ui);

// Start-up: the default list file when it exists, else the built-in list; either way the
// list is saved afterwards, so after the first start the file exists when the folder is
// writable.
LoadOutcome LoadStartupProductList(ProductList& list, const std::string& directory, ListFileUi& ui);

}  // namespace korvelin
