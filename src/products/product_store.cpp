#include "products/product_store.h"

#include <optional>
#include <vector>

#include "common/code_page.h"
#include "common/files.h"
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

// A list file's text: its bytes up to the first NUL, spaces cut from both ends.
std::string ReadListFile(const std::string& path) {
  return TrimSpaces(BytesToText(ReadFileBytes(path)));
}

}  // namespace

const std::string& ProductListFileName() {
  static const std::string kName = Ansi("监控列表_默认.txt");
  return kName;
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
  std::optional<std::string> text;
  std::string source;  // the file the text came from, if any
  if (listText.size() >= kShortestListText) {
    text = listText;
  } else if (filePath.size() >= kShortestFilePath) {
    source = filePath;
  } else {
    source = ui.ChooseOpenFile(directory, OpenFileFilter());
  }
  if (!source.empty()) text = ReadListFile(source);

  LoadOutcome outcome = LoadOutcome::kCancelled;
  if (text) {
    std::optional<std::vector<ProductEntry>> rows = ParseProductList(*text);
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
  const bool written =
      WriteFileAtomically(ProductListFilePath(directory), EncodeProductList(list.Rows()));
  ui.ProcessPendingEvents();
  return written;
}

LoadOutcome LoadStartupProductList(ProductList& list, const std::string& directory,
                                   ListFileUi& ui) {
  const std::string path = ProductListFilePath(directory);
  if (FileExists(path)) return LoadProductList(list, std::string(), path, directory, ui);
  return LoadProductList(list, DefaultProductListText(), std::string(), directory, ui);
}

}  // namespace korvelin
