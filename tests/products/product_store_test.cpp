#include "products/product_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "common/files.h"
#include "products/list_file.h"
#include "products/product_test_entry.h"
#include "support/temp_folder.h"

namespace korvelin {
namespace {

namespace fs = std::filesystem;

const std::string kGermany = "\xB5\xC2\xB9\xFA";  // 德国 in code page 936

// The desktop in memory: answers the open dialog with a prepared path and records every
// call in order. Each event pass notes what the list file held at that moment.
class FakeListFileUi : public ListFileUi {
 public:
  explicit FakeListFileUi(std::string listFile) : listFile_(std::move(listFile)) {}
  std::string ChooseOpenFile(const std::string& directory, const std::string& filter) override {
    calls.push_back("open " + directory + " " + filter);
    return chosenFile;
  }
  void ShowMessage(const std::string& text, const std::string& title) override {
    calls.push_back("message " + text + " " + title);
  }
  void ProcessPendingEvents() override {
    calls.push_back("events " + (FileExists(listFile_) ? ReadFileBytes(listFile_) : "(none)"));
  }
  std::string chosenFile;
  std::vector<std::string> calls;

 private:
  std::string listFile_;
};

using testing::Entry;
using testing::RunUnprivileged;
using testing::TempFolder;

class ProductStoreTest : public ::testing::Test {
 protected:
  std::string Dir() const { return folder_.Path(); }
  std::string ListFile() const { return ProductListFilePath(Dir()); }
  std::string Other(const char* name) const { return JoinPath(Dir(), name); }
  void Write(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(path, bytes));
  }
  std::string Message() const {
    return "message " + ListFormatErrorMessage() + " " + ListFormatErrorTitle();
  }

  TempFolder folder_;
  ProductList list_;
  FakeListFileUi ui_{ProductListFilePath(folder_.Path())};
};

TEST_F(ProductStoreTest, FirstStartLoadsTheBuiltInListAndWritesTheFile) {
  EXPECT_EQ(LoadStartupProductList(list_, Dir(), ui_), LoadOutcome::kLoaded);
  ASSERT_EQ(list_.Count(), 17);
  const std::vector<ProductEntry> rows = list_.Rows();
  for (int i = 0; i < 17; ++i) {
    EXPECT_EQ(rows[i].number, std::to_string(i + 1));
    EXPECT_EQ(rows[i].country, kGermany);
    EXPECT_FALSE(rows[i].monitored);
  }
  const std::string file = DefaultProductListText() + "\r\n";
  EXPECT_EQ(ReadFileBytes(ListFile()), file);
  // The file carries its Chinese name on disk, as the desktop shows it.
  EXPECT_TRUE(fs::exists(fs::path(Dir()) / fs::path(u8"监控列表_默认.txt")));
  EXPECT_EQ(ui_.calls,
            (std::vector<std::string>{"events (none)", "events " + file, "events " + file}));
}

TEST_F(ProductStoreTest, AFileWrittenByTheProgramLoadsBackAndSavesToTheSameBytes) {
  list_.Append(Entry("9", Ansi("喜宝有机1"), "B003R7KV34", "60", kGermany));
  list_.Append(Entry("9", "Pre milk 2", "B00D8V08UK", "12.5", Ansi("加拿大")));
  list_.Append(Entry("1", Ansi("全角　名"), "X1", "7", "Somewhere"));
  list_.SetMonitored(list_.IdAt(0), true);
  list_.SetCell(list_.IdAt(1), kCurrentPriceColumn, "11");
  ASSERT_TRUE(SaveProductList(list_, Dir(), ui_));
  const std::string saved = ReadFileBytes(ListFile());
  EXPECT_EQ(saved, EncodeProductList(list_.Rows()));

  ProductList loaded;
  EXPECT_EQ(LoadStartupProductList(loaded, Dir(), ui_), LoadOutcome::kLoaded);
  EXPECT_EQ(loaded.Rows(), (std::vector<ProductEntry>{
                               Entry("1", Ansi("喜宝有机1"), "B003R7KV34", "60", kGermany),
                               Entry("2", "Pre milk 2", "B00D8V08UK", "12.5", Ansi("加拿大")),
                               Entry("3", Ansi("全角　名"), "X1", "7", "Somewhere"),
                           }));
  EXPECT_EQ(ReadFileBytes(ListFile()), saved);
}

struct FileCase {
  const char* what;
  std::string bytes;
  std::vector<ProductEntry> rows;
};

class ListFileReadTest : public ProductStoreTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ListFileReadTest, LoadsTheRowsOfTheFile) {
  Write(ListFile(), GetParam().bytes);
  EXPECT_EQ(LoadStartupProductList(list_, Dir(), ui_), LoadOutcome::kLoaded);
  EXPECT_EQ(list_.Rows(), GetParam().rows);
  EXPECT_EQ(ReadFileBytes(ListFile()), EncodeProductList(GetParam().rows));
}

const std::string kFullWidthSpace = "\xA1\xA1";

INSTANTIATE_TEST_SUITE_P(
    FileRules, ListFileReadTest,
    ::testing::Values(
        FileCase{
            "spaces and full-width spaces at both ends are trimmed",
            "  " + kFullWidthSpace + " name ----code----60----" + kGermany + kFullWidthSpace + "  ",
            {Entry("1", "name ", "code", "60", kGermany)}},
        FileCase{"a trailing CR LF stays and makes no row",
                 "a----b----1----" + kGermany + "\r\n \r\n ",
                 {Entry("1", "a", "b", "1", kGermany)}},
        FileCase{"the text ends at the first NUL byte",
                 "a----b----1----" + kGermany + "\r\n" + std::string(1, '\0') +
                     "after----the----nul----byte\r\n",
                 {Entry("1", "a", "b", "1", kGermany)}},
        FileCase{"a five-field line loses its fifth field in the saved file",
                 "a----b----1----" + kGermany + "----note\r\n\r\nc----d----2----" + kGermany,
                 {Entry("1", "a", "b", "1", kGermany), Entry("2", "c", "d", "2", kGermany)}}),
    [](const ::testing::TestParamInfo<FileCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

struct SourceCase {
  const char* what;
  std::string listText;
  std::string filePath;  // a file name in the test folder, or a short text as it is
  bool dialog;
  std::string expectedName;  // of the one row loaded; empty: the format message
};

class SourceChoiceTest : public ProductStoreTest,
                         public ::testing::WithParamInterface<SourceCase> {};

TEST_P(SourceChoiceTest, TakesTheFirstUsableSource) {
  Write(Other("import.txt"), "  file----b----1----" + kGermany + "  ");
  Write(Other("picked.txt"), "picked----b----1----" + kGermany);
  ui_.chosenFile = Other("picked.txt");
  const SourceCase& source = GetParam();
  const std::string path =
      source.filePath.size() > 3 ? Other(source.filePath.c_str()) : source.filePath;

  const LoadOutcome outcome = LoadProductList(list_, source.listText, path, Dir(), ui_);
  const bool dialogShown = !ui_.calls.empty() && ui_.calls[0].rfind("open ", 0) == 0;
  EXPECT_EQ(dialogShown, source.dialog);
  if (source.expectedName.empty()) {
    EXPECT_EQ(outcome, LoadOutcome::kFormatError);
    EXPECT_EQ(ui_.calls[0], Message());
  } else {
    EXPECT_EQ(outcome, LoadOutcome::kLoaded);
    ASSERT_EQ(list_.Count(), 1);
    EXPECT_EQ(list_.Row(0)->name, source.expectedName);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SourceChoiceTest,
    ::testing::Values(
        // A list text is taken as it is: its leading spaces stay in the first name.
        SourceCase{"list text", "  text----b----1----" + kGermany, "import.txt", false, "  text"},
        SourceCase{"nine byte text without separator", "123456789", "import.txt", false, ""},
        SourceCase{"eight byte text gives way to the file", "12345678", "import.txt", false,
                   "file"},
        SourceCase{"four byte path is read", "", "a.tx", false, ""},
        SourceCase{"three byte path gives way to the dialog", "", "a.t", true, "picked"},
        SourceCase{"nothing given opens the dialog", "", "", true, "picked"}),
    [](const ::testing::TestParamInfo<SourceCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

TEST_F(ProductStoreTest, ImportShowsTheOpenDialogInTheProgramFolder) {
  Write(Other("import.txt"), "x----y----1----" + kGermany + "\r\n");
  ui_.chosenFile = Other("import.txt");
  EXPECT_EQ(LoadProductList(list_, "", "", Dir(), ui_), LoadOutcome::kLoaded);
  ASSERT_FALSE(ui_.calls.empty());
  EXPECT_EQ(ui_.calls[0], "open " + Dir() + " " + Ansi("文本文件|*.txt"));
  EXPECT_EQ(list_.Rows(), (std::vector<ProductEntry>{Entry("1", "x", "y", "1", kGermany)}));
}

TEST_F(ProductStoreTest, CancelledDialogLoadsNothingAndSavesTheRowsUnchanged) {
  list_.Append(Entry("5", "kept", "code", "60", kGermany));
  list_.SetMonitored(list_.IdAt(0), true);
  const std::vector<ProductEntry> before = list_.Rows();
  Write(ListFile(), "stale----file----1----" + kGermany + "\r\n");

  EXPECT_EQ(LoadProductList(list_, "", "", Dir(), ui_), LoadOutcome::kCancelled);
  EXPECT_EQ(list_.Rows(), before);
  const std::string file = "kept----code----60----" + kGermany + "\r\n";
  EXPECT_EQ(ReadFileBytes(ListFile()), file);
  EXPECT_EQ(ui_.calls,
            (std::vector<std::string>{"open " + Dir() + " " + Ansi("文本文件|*.txt"),
                                      "events stale----file----1----" + kGermany + "\r\n",
                                      "events " + file, "events " + file}));
}

TEST_F(ProductStoreTest, TextWithoutSeparatorShowsTheMessageKeepsRowsAndRewritesTheFile) {
  static const std::string kUtf16 = std::string(
      "\xFF\xFE"
      "a\0-\0-\0-\0-\0b\0",
      14);
  for (const std::string& bytes : {std::string(), std::string("just some words\r\n"), kUtf16}) {
    SCOPED_TRACE(::testing::PrintToString(bytes));
    ProductList list;
    list.Append(Entry("3", "kept", "code", "60", kGermany));
    const std::vector<ProductEntry> before = list.Rows();
    Write(Other("import.txt"), bytes);
    Write(ListFile(), "old----file----1----" + kGermany + "\r\n");
    FakeListFileUi ui(ListFile());

    EXPECT_EQ(LoadProductList(list, "", Other("import.txt"), Dir(), ui), LoadOutcome::kFormatError);
    EXPECT_EQ(list.Rows(), before);
    const std::string file = "kept----code----60----" + kGermany + "\r\n";
    EXPECT_EQ(ReadFileBytes(ListFile()), file);
    ASSERT_EQ(ui.calls.size(), 4u);
    EXPECT_EQ(ui.calls[0], Message());
    EXPECT_EQ(ui.calls[1], "events old----file----1----" + kGermany + "\r\n");
    EXPECT_EQ(ui.calls[3], "events " + file);
  }
  // The message text itself, in code page 936.
  EXPECT_EQ(ListFormatErrorTitle(), "\xD0\xC5\xCF\xA2\xA3\xBA");
  EXPECT_EQ(ListFormatErrorMessage(), Ansi("账号格式错误，请用[账号----密码]格式！"));
}

TEST_F(ProductStoreTest, EmptyListFileAtStartShowsTheMessageAndStaysEmpty) {
  Write(ListFile(), "");
  EXPECT_EQ(LoadStartupProductList(list_, Dir(), ui_), LoadOutcome::kFormatError);
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_TRUE(FileExists(ListFile()));
  EXPECT_EQ(ReadFileBytes(ListFile()), "");
  ASSERT_FALSE(ui_.calls.empty());
  EXPECT_EQ(ui_.calls[0], Message());
}

TEST_F(ProductStoreTest, UnreadableListFileAtStartIsNotOverwritten) {
  // A list saved as UTF-16 by an editor reads as text without a separator.
  const std::string utf16(
      "\xFF\xFE"
      "a\0-\0-\0-\0-\0b\0-\0-\0-\0-\0c\0",
      24);
  Write(ListFile(), utf16);
  EXPECT_EQ(LoadStartupProductList(list_, Dir(), ui_), LoadOutcome::kFormatError);
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(ReadFileBytes(ListFile()), utf16);
  EXPECT_EQ(ui_.calls, (std::vector<std::string>{Message(), "events " + utf16, "events " + utf16}));

  // The same file chosen in the import dialog is left alone as well.
  list_.Append(Entry("1", "kept", "code", "60", kGermany));
  FakeListFileUi ui(ListFile());
  ui.chosenFile = ListFile();
  EXPECT_EQ(LoadProductList(list_, "", "", Dir(), ui), LoadOutcome::kFormatError);
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(ReadFileBytes(ListFile()), utf16);
}

TEST_F(ProductStoreTest, SavingAnEmptyListWritesAnEmptyFile) {
  Write(ListFile(), "old----file----1----" + kGermany + "\r\n");
  EXPECT_TRUE(SaveProductList(list_, Dir(), ui_));
  EXPECT_TRUE(FileExists(ListFile()));
  EXPECT_EQ(ReadFileBytes(ListFile()), "");
  EXPECT_EQ(ui_.calls, (std::vector<std::string>{"events "}));
}

TEST_F(ProductStoreTest, UnwritableFolderKeepsTheOldFileAndReportsNothing) {
  const std::string old = "old----file----1----" + kGermany + "\r\n";
  Write(ListFile(), old);
  ASSERT_EQ(chmod(Dir().c_str(), 0555), 0);
  // The file's name on disk is UTF-8; the program's paths are code page 936.
  fs::permissions(fs::path(Dir()) / fs::path(u8"监控列表_默认.txt"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);

  // The old file itself could be overwritten in place; only a whole-file replacement
  // keeps it as it was when the folder refuses new files.
  const int result = RunUnprivileged([this] {
    ProductList list;
    FakeListFileUi ui(ListFile());
    const std::string text = "new----list----2----" + kGermany;
    int failures = 0;
    if (LoadProductList(list, text, "", Dir(), ui) != LoadOutcome::kLoaded) failures |= 1;
    if (list.Rows() != std::vector<ProductEntry>{Entry("1", "new", "list", "2", kGermany)}) {
      failures |= 2;
    }
    for (const std::string& call : ui.calls) {
      if (call.rfind("events ", 0) != 0) failures |= 4;
    }
    if (SaveProductList(list, Dir(), ui)) failures |= 8;
    return failures;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(ListFile()), old);
  // Nothing was left behind in the folder either.
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1);
}

TEST_F(ProductStoreTest, ReadOnlyListFileInAWritableFolderIsNotReplaced) {
  // The user has write-protected the list file; the folder itself is open to everyone.
  const std::string old = "old----file----1----" + kGermany + "\r\n";
  Write(ListFile(), old);
  ASSERT_EQ(chmod(Dir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(AnsiToUtf8(ListFile()).c_str(), 0444), 0);
  const int result = RunUnprivileged([this] {
    ProductList list;
    list.Append(Entry("1", "new", "list", "2", kGermany));
    FakeListFileUi ui(ListFile());
    return SaveProductList(list, Dir(), ui) ? 1 : 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(ListFile()), old);
  struct stat info {};
  ASSERT_EQ(stat(AnsiToUtf8(ListFile()).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0444u);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1);
}

TEST_F(ProductStoreTest, ReadOnlyFolderWithoutFileShowsTheBuiltInListEveryStart) {
  ASSERT_EQ(chmod(Dir().c_str(), 0555), 0);
  const int result = RunUnprivileged([this] {
    int failures = 0;
    for (int start = 0; start < 2; ++start) {
      ProductList list;
      FakeListFileUi ui(ListFile());
      if (LoadStartupProductList(list, Dir(), ui) != LoadOutcome::kLoaded) failures |= 1;
      if (list.Count() != 17) failures |= 2;
      if (ui.calls.size() != 3) failures |= 4;
    }
    return failures;
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(FileExists(ListFile()));
}

}  // namespace
}  // namespace korvelin
