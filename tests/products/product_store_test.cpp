#include "products/product_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "common/files.h"
#include "products/list_file.h"
#include "products/product_test_entry.h"
#include "support/log_stamp.h"
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
  void AppendLog(const std::string& entry) override { calls.push_back("log " + entry); }
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

TEST_F(ProductStoreTest, UnwritableFolderWithAWritableListFileIsWrittenInPlace) {
  const std::string old = "old----file----1----" + kGermany + "\r\n";
  Write(ListFile(), old);
  ASSERT_EQ(chmod(ListFile().c_str(), 0666), 0);
  struct stat before {};
  ASSERT_EQ(stat(ListFile().c_str(), &before), 0);
  ASSERT_EQ(chmod(Dir().c_str(), 0555), 0);

  // The folder refuses the temporary file of an atomic save; the file itself takes the
  // new list, and nothing is logged since the save worked.
  const std::string text = "new----list----2----" + kGermany;
  const int result = RunUnprivileged([this, &text] {
    ProductList list;
    FakeListFileUi ui(ListFile());
    int failures = 0;
    if (LoadProductList(list, text, "", Dir(), ui) != LoadOutcome::kLoaded) failures |= 1;
    if (list.Rows() != std::vector<ProductEntry>{Entry("1", "new", "list", "2", kGermany)}) {
      failures |= 2;
    }
    for (const std::string& call : ui.calls) {
      if (call.rfind("events ", 0) != 0) failures |= 4;
    }
    if (!SaveProductList(list, Dir(), ui)) failures |= 8;
    return failures;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(ListFile()), text + "\r\n");
  struct stat after {};
  ASSERT_EQ(stat(ListFile().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_mode & 07777, 0666u);
  // Nothing was left behind in the folder either.
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1);
}

// The log entries of the calls, without their date-time stamps.
std::vector<std::string> LogTexts(const std::vector<std::string>& calls) {
  std::vector<std::string> texts;
  for (const std::string& call : calls) {
    if (call.rfind("log ", 0) != 0) continue;
    const std::optional<std::string> rest = testing::TextAfterStamp(call.substr(4));
    texts.push_back(rest ? *rest : "no stamp: " + call);
  }
  return texts;
}

TEST_F(ProductStoreTest, AFailingSaveIsLoggedOnceAndAgainWhenItWorksOrFailsAnew) {
  // The list lives in a folder named outside code page 936; the log shows it with "?".
  const std::string directory = JoinPath(Dir(), "Größe");
  const std::string file = JoinPath(directory, "监控列表_默认.txt");
  const std::string shown = Utf8ToAnsi(file);
  ASSERT_NE(shown.find("Gr??e"), std::string::npos);
  list_.Append(Entry("1", "a", "b", "1", kGermany));
  const std::string failed = "\r\n" + Ansi("列表文件保存失败：") + shown + " - ";
  const std::string restored = "\r\n" + Ansi("列表文件已恢复保存：") + shown + "\r\n";
  const std::string noFolder = failed + Ansi("文件夹不存在") + "\r\n";
  const std::string folderInTheWay = failed + Ansi("同名的文件夹已存在") + "\r\n";

  FakeListFileUi ui(file);
  auto save = [&](bool expected) {
    ui.calls.clear();
    EXPECT_EQ(SaveProductList(list_, directory, ui), expected);
    return LogTexts(ui.calls);
  };
  using Texts = std::vector<std::string>;
  EXPECT_EQ(save(false), Texts{noFolder});  // the folder is missing
  EXPECT_EQ(save(false), Texts{});          // the same failure: already said
  EXPECT_EQ(save(false), Texts{});
  fs::create_directories(fs::u8path(file) / "inside");  // a folder where the file should be
  EXPECT_EQ(save(false), Texts{folderInTheWay});        // another reason
  fs::remove_all(fs::u8path(file));
  EXPECT_EQ(save(true), Texts{restored});  // saving works again
  EXPECT_EQ(ReadFileBytes(file), "a----b----1----" + kGermany + "\r\n");
  EXPECT_EQ(save(true), Texts{});
  fs::remove_all(fs::u8path(directory));
  EXPECT_EQ(save(false), Texts{noFolder});  // fails anew
  // The log entry comes before the events pass that ends the save.
  ASSERT_EQ(ui.calls.size(), 2u);
  EXPECT_EQ(ui.calls[1], "events (none)");
}

TEST(ListSaveTexts, NameTheReasonInWords) {
  EXPECT_EQ(FileErrorText(EACCES), Ansi("没有写入权限"));
  EXPECT_EQ(FileErrorText(ENOSPC), Ansi("磁盘空间不足"));
  EXPECT_EQ(FileErrorText(EROFS), Ansi("文件系统只读"));
  EXPECT_EQ(FileErrorText(EFBIG), Ansi("文件超出大小限制"));
  EXPECT_EQ(FileErrorText(EMLINK), Ansi("系统错误 ") + std::to_string(EMLINK));
  const std::string entry = ListSaveFailedEntry("/home/jörg/监控列表_默认.txt", ENOSPC);
  EXPECT_EQ(
      testing::TextAfterStamp(entry),
      "\r\n" + Ansi("列表文件保存失败：/home/j?rg/监控列表_默认.txt - 磁盘空间不足") + "\r\n");
  EXPECT_EQ(testing::TextAfterStamp(ListSaveRestoredEntry("/a/b.txt")),
            "\r\n" + Ansi("列表文件已恢复保存：/a/b.txt") + "\r\n");
}

TEST_F(ProductStoreTest, ReadOnlyListFileInAWritableFolderIsNotReplaced) {
  // The user has write-protected the list file; the folder itself is open to everyone.
  const std::string old = "old----file----1----" + kGermany + "\r\n";
  Write(ListFile(), old);
  ASSERT_EQ(chmod(Dir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(ListFile().c_str(), 0444), 0);
  const int result = RunUnprivileged([this] {
    ProductList list;
    list.Append(Entry("1", "new", "list", "2", kGermany));
    FakeListFileUi ui(ListFile());
    return SaveProductList(list, Dir(), ui) ? 1 : 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(ListFile()), old);
  struct stat info {};
  ASSERT_EQ(stat(ListFile().c_str(), &info), 0);
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
      // Each start says once that the list cannot be saved.
      if (ui.calls.size() != 4 ||
          LogTexts(ui.calls) != std::vector<std::string>{"\r\n" + Ansi("列表文件保存失败：") +
                                                         Utf8ToAnsi(ListFile()) + " - " +
                                                         Ansi("没有写入权限") + "\r\n"}) {
        failures |= 4;
      }
    }
    return failures;
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(FileExists(ListFile()));
}

// The list's folder for a program folder, chosen in a child process without root rights
// (nobody when the tests run as root) with the given XDG_DATA_HOME and HOME.
std::string ListDirectoryInChild(const std::string& programFolder, const char* dataHome,
                                 const char* home, bool unprivileged = true) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "(no pipe)";
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
    dataHome ? setenv("XDG_DATA_HOME", dataHome, 1) : unsetenv("XDG_DATA_HOME");
    home ? setenv("HOME", home, 1) : unsetenv("HOME");
    const std::string directory = ListDirectoryFor(programFolder);
    const bool written = write(pipeFds[1], directory.data(), directory.size()) ==
                         static_cast<ssize_t>(directory.size());
    _exit(written ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : "(child failed)";
}

TEST_F(ProductStoreTest, ListDirectoryIsBesideTheProgramOrInTheUsersDataFolder) {
  // The user's home, open to the unprivileged child.
  const std::string home = JoinPath(Dir(), "home jörg");
  ASSERT_TRUE(MakeDirectories(home));
  ASSERT_EQ(chmod(Dir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(home.c_str(), 0777), 0);
  const std::string portable = JoinPath(Dir(), "portable");
  const std::string installed = JoinPath(Dir(), "usr/bin");
  ASSERT_TRUE(MakeDirectories(portable));
  ASSERT_TRUE(MakeDirectories(installed));
  ASSERT_EQ(chmod(JoinPath(Dir(), "usr").c_str(), 0755), 0);
  ASSERT_EQ(chmod(portable.c_str(), 0777), 0);
  ASSERT_EQ(chmod(installed.c_str(), 0755), 0);  // written by its owner (root) only

  // A folder the program may write keeps the list beside it.
  EXPECT_EQ(ListDirectoryInChild(portable, nullptr, home.c_str()), portable);
  // An installed program: the data folder, created on the first start.
  const std::string data = JoinPath(home, ".local/share/korvelin");
  EXPECT_EQ(ListDirectoryInChild(installed, nullptr, home.c_str()), data);
  EXPECT_TRUE(fs::is_directory(fs::u8path(data)));
  const std::string xdg = JoinPath(home, "xdg data");
  EXPECT_EQ(ListDirectoryInChild(installed, xdg.c_str(), home.c_str()), JoinPath(xdg, "korvelin"));
  EXPECT_EQ(ListDirectoryInChild(installed, "not/absolute", home.c_str()), data);
  // A program folder that already holds a list keeps it there, writable or not.
  Write(ProductListFilePath(installed), DefaultProductListText());
  EXPECT_EQ(ListDirectoryInChild(installed, nullptr, home.c_str()), installed);

  // A "bin" folder the program may write (root's /usr/bin, the user's ~/.local/bin) is an
  // installation too.
  const std::string localBin = JoinPath(home, ".local/bin");
  ASSERT_TRUE(MakeDirectories(localBin));
  ASSERT_EQ(chmod(JoinPath(home, ".local").c_str(), 0777), 0);
  ASSERT_EQ(chmod(localBin.c_str(), 0777), 0);
  EXPECT_EQ(ListDirectoryInChild(localBin, nullptr, home.c_str()), data);
  ASSERT_TRUE(MakeDirectories(JoinPath(Dir(), "usr/sbin")));
  EXPECT_EQ(ListDirectoryInChild(JoinPath(Dir(), "usr/sbin"), nullptr, home.c_str(), false), data);
  // Root keeps a portable copy's list beside it.
  EXPECT_EQ(ListDirectoryInChild(portable, nullptr, home.c_str(), false), portable);
}

TEST_F(ProductStoreTest, FirstStartOfAnInstalledProgramWritesTheDefaultListToTheDataFolder) {
  const std::string home = JoinPath(Dir(), "home");
  ASSERT_TRUE(MakeDirectories(home));
  ASSERT_EQ(chmod(Dir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(home.c_str(), 0777), 0);
  const int result = RunUnprivileged([&] {
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", home.c_str(), 1);
    const std::string directory = ListDirectoryFor("/usr/bin");
    ProductList list;
    FakeListFileUi ui(ProductListFilePath(directory));
    if (LoadStartupProductList(list, directory, ui) != LoadOutcome::kLoaded) return 1;
    return list.Count() == 17 ? 0 : 2;
  });
  EXPECT_EQ(result, 0);
  const std::string file = JoinPath(home, ".local/share/korvelin/监控列表_默认.txt");
  EXPECT_EQ(ReadFileBytes(file), DefaultProductListText() + "\r\n");
  EXPECT_EQ(ReadFileBytes(file).size(), 674u);
}

TEST_F(ProductStoreTest, StartRemovesTheTemporaryFilesOfASaveCutShort) {
  Write(ListFile(), "old----file----1----" + kGermany + "\r\n");
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_GT(ended, 0);
  waitpid(ended, nullptr, 0);
  const std::string leftover = ListFile() + ".tmp." + std::to_string(ended) + ".0";
  Write(leftover, "half a li");
  EXPECT_EQ(LoadStartupProductList(list_, Dir(), ui_), LoadOutcome::kLoaded);
  EXPECT_FALSE(FileExists(leftover));
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1);
  EXPECT_EQ(list_.Count(), 1);
}

// A child saves two large lists in turn and is killed at random moments: the file is
// always one list or the other, whole, and the next start leaves no temporary file.
TEST_F(ProductStoreTest, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewList) {
  std::vector<ProductEntry> first;
  std::vector<ProductEntry> second;
  for (int i = 0; i < 4000; ++i) {
    first.push_back(Entry("1", Ansi("喜宝有机") + std::to_string(i), "B004X0XA6E", "60", kGermany));
    second.push_back(
        Entry("1", "Aptamil " + std::to_string(i), "B00D8V0972", "42.5", Ansi("日本")));
  }
  // Made once here; each child has its own copy.
  ProductList one;
  one.Replace(first);
  ProductList two;
  two.Replace(second);
  const std::string firstBytes = ListFileBytes(first);
  const std::string secondBytes = ListFileBytes(second);
  // In memory where there is a memory file system: a kill stops the process, not the
  // disk, so the file system does not matter, and the disk's flushes would only slow the
  // test down.
  std::error_code noShm;
  const TempFolder memoryFolder("korvelin-products", fs::is_directory("/dev/shm", noShm)
                                                         ? fs::path("/dev/shm")
                                                         : fs::temp_directory_path());
  const std::string folder = memoryFolder.Path();
  const std::string listFile = ProductListFilePath(folder);
  FakeListFileUi parentUi(listFile);
  Write(listFile, firstBytes);

  // The kills fall anywhere in the first two or three saves, however fast the disk is.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(SaveProductList(one, folder, parentUi));
  const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  std::mt19937 random(20261211);
  std::uniform_int_distribution<long> delay(0, 5 * saveTime.count() / 2 + 100);  // microseconds
  int sawFirst = 0;
  int sawSecond = 0;
  constexpr int kKills = 300;
  for (int kill = 0; kill < kKills; ++kill) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
      FakeListFileUi ui(listFile);
      // Saving starts now: the kill comes at a random moment from here.
      if (write(ready[1], "r", 1) != 1) _exit(1);
      for (;;) {
        SaveProductList(two, folder, ui);
        SaveProductList(one, folder, ui);
        ui.calls.clear();
      }
    }
    ASSERT_GT(child, 0);
    close(ready[1]);
    char byte;
    EXPECT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string bytes = ReadFileBytes(listFile);
    if (bytes == firstBytes) {
      ++sawFirst;
    } else if (bytes == secondBytes) {
      ++sawSecond;
    } else {
      FAIL() << "kill " << kill << ": the list file holds " << bytes.size() << " other bytes";
    }
  }
  RecordProperty("old_list_seen", sawFirst);
  RecordProperty("new_list_seen", sawSecond);
  // Both lists were seen, so the kills did land while saves were running.
  EXPECT_GT(sawFirst, 0);
  EXPECT_GT(sawSecond, 0);
  ProductList list;
  EXPECT_EQ(LoadStartupProductList(list, folder, parentUi), LoadOutcome::kLoaded);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace korvelin
