#include "products/product_store.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/text.h"
#include "products/list_file.h"

namespace korvelin {

namespace {

// A list text shorter than this is no source of its own; the file path is tried next.
constexpr std::size_t kShortestListText = 9;
// A file path shorter than this is no source of its own; the open dialog is shown.
constexpr std::size_t kShortestFilePath = 4;

const std::string& OpenFileFilter() {
  static const std::string kFilter = Ansi("文本文件|*.txt");
  return kFilter;
}

// The folder of the list for an installed program, below the user's data folder.
constexpr const char* kDataFolderName = "korvelin";

// The texts of the list file's saving; UTF-8 here, code page 936 once used.
constexpr const char* kSaveFailed = "列表文件保存失败：";
constexpr const char* kSaveRestored = "列表文件已恢复保存：";
constexpr const char* kReasonSeparator = " - ";

std::string LogEntry(const std::string& message) { return NowText() + "\r\n" + message + "\r\n"; }

}  // namespace

const std::string& ProductListFileName() {
  static const std::string kName = "监控列表_默认.txt";
  return kName;
}

std::string ListDirectoryFor(const std::string& programDirectory) {
  if (!programDirectory.empty()) {
    if (FileExists(ProductListFilePath(programDirectory))) return programDirectory;
    // A program in a "bin" folder is an installed one (/usr/bin, /usr/local/bin,
    // ~/.local/bin): even where that folder can be written (by root, or the user's own
    // ~/.local/bin), the list goes to the data folder, not among the programs.
    const std::size_t slash = programDirectory.find_last_of('/');
    const std::string last =
        slash == std::string::npos ? programDirectory : programDirectory.substr(slash + 1);
    const bool installed = last == "bin" || last == "sbin";
    if (!installed && DirectoryWritable(programDirectory)) return programDirectory;
  }
  const std::string dataHome = UserDataDirectory();
  if (!dataHome.empty()) {
    const std::string directory = JoinPath(dataHome, kDataFolderName);
    if (MakeDirectories(directory)) return directory;
  }
  // No data folder either: the list stays beside the program, where the saves that fail
  // are logged.
  return programDirectory;
}

const std::string& ListDirectory() {
  static const std::string kDirectory = ListDirectoryFor(ProgramDirectory());
  return kDirectory;
}

std::string FileErrorText(int error) {
  const char* words = nullptr;
  switch (error) {
    case EACCES:
    case EPERM:
      words = "没有写入权限";
      break;
    case EROFS:
      words = "文件系统只读";
      break;
    case ENOSPC:
    case EDQUOT:
      words = "磁盘空间不足";
      break;
    case EFBIG:
      words = "文件超出大小限制";
      break;
    case ENOENT:
    case ENOTDIR:
      words = "文件夹不存在";
      break;
    case EISDIR:
      words = "同名的文件夹已存在";
      break;
    case EWOULDBLOCK:
      words = "文件正被其他程序使用";
      break;
    case EIO:
      words = "读写错误";
      break;
    default:
      break;
  }
  if (words) return Ansi(words);
  return Ansi("系统错误 ") + IntToText(static_cast<std::int64_t>(error));
}

std::string ListSaveFailedEntry(const std::string& path, int error) {
  return LogEntry(Ansi(kSaveFailed) + Utf8ToAnsi(path) + kReasonSeparator + FileErrorText(error));
}

std::string ListSaveRestoredEntry(const std::string& path) {
  return LogEntry(Ansi(kSaveRestored) + Utf8ToAnsi(path));
}

std::string ProductListFilePath(const std::string& directory) {
  return JoinPath(directory, ProductListFileName());
}

const std::string& ListFormatErrorMessage() {
  static const std::string kMessage = Ansi("账号格式错误，请用[账号----密码]格式！");
  return kMessage;
}

const std::string& ListFormatErrorTitle() {
  static const std::string kTitle = Ansi("信息：");
  return kTitle;
}

LoadOutcome LoadProductList(ProductList& list, const std::string& listText,
                            const std::string& filePath, const std::string& directory,
                            ListFileUi& ui) {
  std::optional<std::string_view> text;
  std::string source;  // the file the text came from, if any
  if (listText.size() >= kShortestListText) {
    text = listText;
  } else if (filePath.size() >= kShortestFilePath) {
    source = filePath;
  } else {
    source = ui.ChooseOpenFile(directory, OpenFileFilter());
  }
  LoadOutcome outcome = LoadOutcome::kCancelled;
  if (text || !source.empty()) {
    std::optional<std::vector<ProductEntry>> rows =
        text ? ParseProductList(*text) : ParseListFile(ReadFileBytes(source));
    if (rows) {
      list.Replace(std::move(*rows));
      outcome = LoadOutcome::kLoaded;
    } else {
      ui.ShowMessage(ListFormatErrorMessage(), ListFormatErrorTitle());
      outcome = LoadOutcome::kFormatError;
    }
  }

  ui.ProcessPendingEvents();
  // A list file that could not be read as a list is never overwritten by the rows it failed
  // to fill: at start-up those are no rows at all, and the save would wipe out a list the
  // user may still recover (say one saved as UTF-16 by an editor).
  const bool sourceIsListFile = !source.empty() && source == ProductListFilePath(directory);
  if (!(outcome == LoadOutcome::kFormatError && sourceIsListFile)) {
    SaveProductList(list, directory, ui);
  }
  ui.ProcessPendingEvents();
  return outcome;
}

bool SaveProductList(const ProductList& list, const std::string& directory, ListFileUi& ui) {
  const std::string path = ProductListFilePath(directory);
  int error = 0;
  const bool written = ReplaceFileBytes(path, ListFileBytes(list.Rows()), &error);
  if (written) {
    if (!ui.lastSaveFailure.empty()) ui.AppendLog(ListSaveRestoredEntry(path));
    ui.lastSaveFailure.clear();
  } else {
    // The same file failing for the same reason was logged when it began.
    const std::string failure = path + '\0' + IntToText(static_cast<std::int64_t>(error));
    if (failure != ui.lastSaveFailure) ui.AppendLog(ListSaveFailedEntry(path, error));
    ui.lastSaveFailure = failure;
  }
  ui.ProcessPendingEvents();
  return written;
}

bool ExportProductList(const ProductList& list, const std::string& path, int* error) {
  return ReplaceFileBytes(path, ListFileBytes(list.Rows()), error);
}

LoadOutcome LoadStartupProductList(ProductList& list, const std::string& directory,
                                   ListFileUi& ui) {
  const std::string path = ProductListFilePath(directory);
  RemoveLeftoverTemporaryFiles(path);
  if (FileExists(path)) return LoadProductList(list, std::string(), path, directory, ui);
  return LoadProductList(list, DefaultProductListText(), std::string(), directory, ui);
}

}  // namespace korvelin
