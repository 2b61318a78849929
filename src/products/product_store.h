// Loading the product list from a text, a file or a file the user picks, and saving it to
// the default list file 监控列表_默认.txt in the list's folder (ListDirectory). Both run on
// the UI thread; what they need from the desktop comes through ListFileUi. Folders and
// file paths are file-system names (UTF-8), see common/files.h.
#pragma once

#include <string>

#include "products/product_list.h"

namespace korvelin {

// The desktop side of loading and saving. The app implements it on Qt (a non-native open
// dialog, a message box, processing the queued UI events); tests implement it in memory.
class ListFileUi {
 public:
  virtual ~ListFileUi() = default;
  // An open-file dialog starting in the folder `directory` (a path) with `filter`
  // ("文本文件|*.txt": a description, "|", a pattern; code page 936). The chosen path, or
  // the empty text when the user cancels.
  virtual std::string ChooseOpenFile(const std::string& directory, const std::string& filter) = 0;
  // A message box with one OK button and no owner window.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
  // Dispatches the events queued for the UI thread once and returns.
  virtual void ProcessPendingEvents() = 0;
  // Appends one whole entry (code page 936) to the activity log.
  virtual void AppendLog(const std::string& entry) = 0;

  // How the last save of the list file went, so that a failing save is logged once, not
  // at every save: the file and the reason of the failure, empty while saving works.
  // SaveProductList keeps it.
  std::string lastSaveFailure;
};

// The folder that holds the list file (and the files that live beside it: the price
// history, the lock of the running program): the program's folder when it holds
// 监控列表_默认.txt already or can be written (a portable copy); else, as for an installed
// program, $XDG_DATA_HOME/korvelin (by default ~/.local/share/korvelin), created when
// missing. A program folder named "bin" (or "sbin") counts as an installation even when
// it can be written, so a run as root, or a program installed to ~/.local/bin, never puts
// the list among the programs. Found once per process.
const std::string& ListDirectory();
// The same choice for a given program folder, made afresh (for tests and for ListDirectory).
std::string ListDirectoryFor(const std::string& programDirectory);

// The name of the default list file, as the file system spells it (UTF-8).
const std::string& ProductListFileName();
// directory + the default list file's name.
std::string ProductListFilePath(const std::string& directory);

// The message shown when a loaded text holds no "----", and its title (code page 936).
const std::string& ListFormatErrorMessage();
const std::string& ListFormatErrorTitle();
// The log entries of the list file's saving (code page 936), each the date-time text, CR
// LF, the message, CR LF: "列表文件保存失败：" path " - " reason, at a save that fails
// after one that worked (or for another file or reason); "列表文件已恢复保存：" path, at
// the first save that works after a failure. The path shown in code page 936.
std::string ListSaveFailedEntry(const std::string& path, int error);
std::string ListSaveRestoredEntry(const std::string& path);
// Why a file could not be written, in words, for an errno value (code page 936).
std::string FileErrorText(int error);

enum class LoadOutcome {
  kLoaded,       // the rows were replaced by the rows of the text
  kFormatError,  // the text held no "----": message shown, rows kept
  kCancelled,    // the open dialog was cancelled: nothing parsed
};

// Fills `list` from one source, then saves it to the default list file in `directory`:
//  1. `listText` of 9 bytes or more: that text as it is;
//  2. else `filePath` of 4 bytes or more: the file read by ParseListFile (up to the first
//     NUL, UTF-8 or code page 936, trimmed of spaces at both ends);
//  3. else the file the user picks in an open dialog starting in `directory`, read as in
//     2; a cancelled dialog parses nothing.
// In every case the end is: process pending events, save, process pending events; only
// when the source was the default list file itself and it held no list, the save is left
// out, so an unreadable list file is never overwritten.
LoadOutcome LoadProductList(ProductList& list, const std::string& listText,
                            const std::string& filePath, const std::string& directory,
                            ListFileUi& ui);

// Writes every row to directory + 监控列表_默认.txt (ListFileBytes), replacing the file
// with ReplaceFileBytes: atomically (a temporary file in the same folder renamed over it,
// so a crash or a full disk never leaves a half-written list), or in place when the folder
// takes no new files but the file may be written; then processes pending events. A save
// that fails keeps the old file and is logged (ListSaveFailedEntry) unless the save before
// it failed the same way; the first save that works again is logged too. The result says
// whether the file was written.
bool SaveProductList(const ProductList& list, const std::string& directory, ListFileUi& ui);

// Export: the rows in the list file form to `path`, replacing a file there as the list
// save does, so a full disk never destroys the old file. `error` receives the errno value
// of a failure.
bool ExportProductList(const ProductList& list, const std::string& path, int* error = nullptr);

// Start-up: removes the temporary files a save cut short by a crash left in `directory`,
// then loads the default list file when it exists, else the built-in list; either way the
// list is saved afterwards, so after the first start the file exists when the folder is
// writable.
LoadOutcome LoadStartupProductList(ProductList& list, const std::string& directory, ListFileUi& ui);

}  // namespace korvelin
