#include "common/files.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/code_page.h"

namespace korvelin {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end of the test.
class FilesTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/korvelin_files_XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    folder_ = name;
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The folder as a code page 936 text (it is ASCII, so the same bytes).
  std::string Folder() const { return folder_.string(); }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }

  fs::path folder_;
};

TEST_F(FilesTest, WritesAndReadsBytesWithZeroBytes) {
  const std::string path = JoinPath(Folder(), "data.bin");
  const std::string bytes("a\0b\r\n\xFF", 6);
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  EXPECT_EQ(ReadFileBytes(path), bytes);
  ASSERT_TRUE(WriteFileBytes(path, "x"));  // an existing file is emptied first
  EXPECT_EQ(ReadFileBytes(path), "x");
  ASSERT_TRUE(WriteFileBytes(path, ""));
  EXPECT_EQ(ReadFileBytes(path), "");
  EXPECT_TRUE(FileExists(path));
}

TEST_F(FilesTest, FailuresAreValues) {
  EXPECT_EQ(ReadFileBytes(""), "");
  EXPECT_EQ(ReadFileBytes(JoinPath(Folder(), "missing.txt")), "");
  EXPECT_EQ(ReadFileBytes(Folder()), "");  // a folder cannot be read as a file
  EXPECT_FALSE(WriteFileBytes("", "x"));
  EXPECT_FALSE(WriteFileBytes(JoinPath(Folder(), "no/such/folder.txt"), "x"));
  EXPECT_FALSE(WriteFileBytes(Folder(), "x"));
  EXPECT_FALSE(WriteFileBytes("/dev/full", "x"));  // the write itself fails
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(JoinPath(Folder(), "missing.txt")));
  EXPECT_FALSE(FileExists(Folder()));
}

TEST_F(FilesTest, ChineseFileNamesAreUtf8OnDisk) {
  const std::string name = Ansi("监控列表_默认.txt");
  const std::string content = Ansi("爱他美1|B00D8V0972|60|德国\r\n");
  ASSERT_TRUE(WriteFileBytes(JoinPath(Folder(), name), content));
  const fs::path real = folder_ / fs::u8path("监控列表_默认.txt");
  ASSERT_TRUE(fs::exists(real));
  EXPECT_EQ(fs::file_size(real), content.size());
  EXPECT_EQ(ReadFileBytes(JoinPath(Folder(), name)), content);
  EXPECT_TRUE(FileExists(JoinPath(Folder(), name)));

  const std::string other = Ansi("监控列表.txt");
  ASSERT_TRUE(WriteFileAtomically(JoinPath(Folder(), other), "abc"));
  EXPECT_TRUE(fs::exists(folder_ / fs::u8path("监控列表.txt")));
  EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(FilesTest, AtomicWriteReplacesTheFileWhole) {
  const std::string path = JoinPath(Folder(), "list.txt");
  ASSERT_TRUE(WriteFileAtomically(path, "first"));
  ASSERT_TRUE(WriteFileAtomically(path, "second version"));
  EXPECT_EQ(ReadFileBytes(path), "second version");
  EXPECT_EQ(EntryCount(), 1u);  // no temporary file is left behind
  // The new file is created with the usual permissions, not a private temporary's.
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST_F(FilesTest, FailedAtomicWriteLeavesTheOldFile) {
  const std::string path = JoinPath(Folder(), "list.txt");
  ASSERT_TRUE(WriteFileAtomically(path, "old contents"));

  // The write fails half way: a file size limit lets only 16 bytes through.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteFileAtomically(path, std::string(4096, 'n'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFileBytes(path), "old contents");
  EXPECT_EQ(EntryCount(), 1u);  // the temporary file was removed
}

TEST_F(FilesTest, FailedRenameLeavesTheTargetAndNoTemporary) {
  // The target is a folder that is not empty: the rename over it fails.
  const fs::path target = folder_ / "taken";
  fs::create_directory(target);
  std::ofstream(target / "inside.txt") << "keep";
  EXPECT_FALSE(WriteFileAtomically(target.string(), "new"));
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(ReadFileBytes((target / "inside.txt").string()), "keep");
  EXPECT_EQ(EntryCount(), 1u);
  // A folder that does not exist cannot hold the temporary file.
  EXPECT_FALSE(WriteFileAtomically(JoinPath(Folder(), "gone/list.txt"), "x"));
  EXPECT_FALSE(WriteFileAtomically("", "x"));
}

TEST_F(FilesTest, AtomicWriteKeepsTheModeOfTheFileItReplaces) {
  // A list the user keeps private stays private after it is rewritten.
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0664}}) {
    const std::string path = JoinPath(Folder(), "list.txt");
    ASSERT_TRUE(WriteFileBytes(path, "old"));
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "new"));
    EXPECT_EQ(ReadFileBytes(path), "new");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
  }
}

TEST_F(FilesTest, AtomicWriteThroughALinkRewritesTheFileItPointsTo) {
  // The list file may be a link into a folder that the user keeps elsewhere.
  fs::create_directory(folder_ / "elsewhere");
  const std::string real = (folder_ / "elsewhere" / "real.txt").string();
  ASSERT_TRUE(WriteFileBytes(real, "old"));
  fs::create_symlink("elsewhere/real.txt", folder_ / "list.txt");
  ASSERT_TRUE(WriteFileAtomically(JoinPath(Folder(), "list.txt"), "new"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "list.txt"));
  EXPECT_EQ(ReadFileBytes(real), "new");
  EXPECT_EQ(ReadFileBytes(JoinPath(Folder(), "list.txt")), "new");
  EXPECT_EQ(EntryCount(), 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "elsewhere"), {}), 1);
}

TEST(ProgramDirectory, IsTheFolderOfThisTestProgram) {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  ASSERT_GT(n, 0);
  const fs::path exe(std::string(buffer, static_cast<std::size_t>(n)));
  const std::string directory = ProgramDirectory();
  EXPECT_EQ(AnsiToUtf8(directory), exe.parent_path().string());
  EXPECT_NE(directory.back(), '/');
  EXPECT_TRUE(FileExists(JoinPath(directory, Utf8ToAnsi(exe.filename().string()))));
}

TEST(JoinPath, PutsOneSlashBetween) {
  EXPECT_EQ(JoinPath("/opt/korvelin", "a.txt"), "/opt/korvelin/a.txt");
  EXPECT_EQ(JoinPath("/", "a.txt"), "/a.txt");
  EXPECT_EQ(JoinPath("", "a.txt"), "a.txt");
  EXPECT_EQ(JoinPath("/opt", Ansi("监控列表_默认.txt")), "/opt/" + Ansi("监控列表_默认.txt"));
}

}  // namespace
}  // namespace korvelin
