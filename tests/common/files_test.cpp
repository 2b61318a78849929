#include "common/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "common/code_page.h"
#include "support/temp_folder.h"

namespace korvelin {
namespace {

namespace fs = std::filesystem;
using testing::RunUnprivileged;

// A fresh folder under the system's temporary folder, removed at the end of the test.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/korvelin_files_XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    folder_ = name;
  }
  void TearDown() override { fs::remove_all(folder_); }

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
  const std::string name = "监控列表_默认.txt";
  const std::string content = Ansi("爱他美1|B00D8V0972|60|德国\r\n");
  ASSERT_TRUE(WriteFileBytes(JoinPath(Folder(), name), content));
  const fs::path real = folder_ / fs::u8path("监控列表_默认.txt");
  ASSERT_TRUE(fs::exists(real));
  EXPECT_EQ(fs::file_size(real), content.size());
  EXPECT_EQ(ReadFileBytes(JoinPath(Folder(), name)), content);
  EXPECT_TRUE(FileExists(JoinPath(Folder(), name)));

  const std::string other = "监控列表.txt";
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

// Runs `body` with a file size limit of `limit` bytes (SIGXFSZ ignored, so the write
// fails with EFBIG instead of ending the process).
template <typename Body>
auto WithFileSizeLimit(rlim_t limit, Body body) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ::sigaction(SIGXFSZ, &ignore, &previous);
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit small = saved;
  small.rlim_cur = limit;
  ::setrlimit(RLIMIT_FSIZE, &small);
  auto result = body();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  return result;
}

TEST_F(FilesTest, NamesOutsideCodePage936PassToTheSystemAsTheyAre) {
  // Folder and file names that code page 936 cannot write: Latin letters with umlauts,
  // the sharp s, an emoji.
  for (const char* name : {"jörg", "Größe", "list 📦", "Ünïcødé/子目录"}) {
    SCOPED_TRACE(name);
    const fs::path folder = folder_ / fs::u8path(name);
    fs::create_directories(folder);
    const std::string directory = folder.string();
    const std::string file = JoinPath(directory, "监控列表_默认.txt");
    EXPECT_TRUE(DirectoryWritable(directory));
    ASSERT_TRUE(WriteFileAtomically(file, "first"));
    EXPECT_TRUE(fs::exists(folder / fs::u8path("监控列表_默认.txt")));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ReadFileBytes(file), "first");
    ASSERT_TRUE(ReplaceFileBytes(file, "second"));
    EXPECT_EQ(ReadFileBytes(file), "second");
    ASSERT_TRUE(WriteFileBytes(JoinPath(directory, "Größe.txt"), "x"));
    EXPECT_EQ(ReadFileBytes((folder / fs::u8path("Größe.txt")).string()), "x");
  }
}

TEST_F(FilesTest, ReplaceWritesInPlaceWhenOnlyTheFileMayBeWritten) {
  // A folder that takes no new files, holding a list file that everyone may write.
  const std::string path = JoinPath(Folder(), "list.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old contents, longer than the new ones"));
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_EQ(::chmod(Folder().c_str(), 0555), 0);

  const int result = RunUnprivileged([&] {
    int failures = 0;
    int error = 0;
    if (WriteFileAtomically(path, "new", &error) || error != EACCES) failures |= 1;
    if (!ReplaceFileBytes(path, "new", &error) || error != 0) failures |= 2;
    if (ReadFileBytes(path) != "new") failures |= 4;
    // Longer contents than the file had grow it in place.
    if (!ReplaceFileBytes(path, std::string(10000, 'g')) ||
        ReadFileBytes(path) != std::string(10000, 'g')) {
      failures |= 8;
    }
    return failures;
  });
  ::chmod(Folder().c_str(), 0755);
  EXPECT_EQ(result, 0);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  // The same file, with its owner and mode.
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_mode & 07777, 0666u);
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FilesTest, InPlaceWriteThatCannotGrowTheFileLeavesItWhole) {
  const std::string path = JoinPath(Folder(), "list.txt");
  const std::string old = "old contents";
  ASSERT_TRUE(WriteFileBytes(path, old));
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(Folder().c_str(), 0555), 0);
  const int result = RunUnprivileged([&] {
    int error = 0;
    const bool written = WithFileSizeLimit(
        64, [&] { return ReplaceFileBytes(path, std::string(4096, 'n'), &error); });
    return written ? 1 : error == EFBIG ? 0 : 2;
  });
  ::chmod(Folder().c_str(), 0755);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(path), old);
}

TEST_F(FilesTest, ReplaceReportsTheReasonWhenNothingCanBeWritten) {
  int error = 0;
  EXPECT_FALSE(ReplaceFileBytes(JoinPath(Folder(), "gone/list.txt"), "x", &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(WriteFileBytes("/dev/full", "x", &error));
  EXPECT_EQ(error, ENOSPC);
  const std::string path = JoinPath(Folder(), "list.txt");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result = RunUnprivileged([&] {
    int failure = 0;
    return !ReplaceFileBytes(path, "new", &failure) && failure == EACCES ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(path), "old");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(FilesTest, RootGivesTheFileToTheOwnerOfTheFolderOrOfTheOldFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  // A user's folder (nobody's here), written by a run under sudo.
  const std::string directory = (folder_ / "home").string();
  fs::create_directory(directory);
  ASSERT_EQ(::chown(directory.c_str(), 65534, 65534), 0);
  const std::string fresh = JoinPath(directory, "new.txt");
  ASSERT_TRUE(WriteFileAtomically(fresh, "new"));
  struct stat info {};
  ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);

  // A file that belongs to someone else than its folder's owner keeps its owner and mode.
  const std::string old = JoinPath(directory, "old.txt");
  ASSERT_TRUE(WriteFileBytes(old, "old"));
  ASSERT_EQ(::chown(old.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(old.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileBytes(old, "replaced"));
  ASSERT_EQ(::stat(old.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 1234u);
  EXPECT_EQ(info.st_gid, 5678u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFileBytes(old), "replaced");

  // Folders made for the user's data go to the owner of the folder they are made in.
  const std::string data = JoinPath(directory, ".local/share/korvelin");
  ASSERT_TRUE(MakeDirectories(data));
  for (const char* part : {".local", ".local/share", ".local/share/korvelin"}) {
    ASSERT_EQ(::stat(JoinPath(directory, part).c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u) << part;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << part;
  }
}

TEST_F(FilesTest, LeftoverTemporaryFilesOfEndedWritersAreRemoved) {
  const std::string path = JoinPath(Folder(), "监控列表_默认.txt");
  ASSERT_TRUE(WriteFileBytes(path, "list"));
  // The id of a process that has ended.
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ::waitpid(ended, nullptr, 0);
  const std::string base = "监控列表_默认.txt.tmp.";
  const std::string gone = base + std::to_string(ended) + ".0";
  const std::string own = base + std::to_string(::getpid()) + ".7";
  const std::string running = base + "1.0";  // process 1 always runs
  const std::string other = "other.txt.tmp." + std::to_string(ended) + ".0";
  const std::string odd = base + "notanumber";
  for (const std::string& name : {gone, own, running, other, odd}) {
    ASSERT_TRUE(WriteFileBytes(JoinPath(Folder(), name), "half"));
  }
  RemoveLeftoverTemporaryFiles(path);
  EXPECT_FALSE(FileExists(JoinPath(Folder(), gone)));
  EXPECT_FALSE(FileExists(JoinPath(Folder(), own)));
  EXPECT_TRUE(FileExists(JoinPath(Folder(), running)));
  EXPECT_TRUE(FileExists(JoinPath(Folder(), other)));
  EXPECT_TRUE(FileExists(JoinPath(Folder(), odd)));
  EXPECT_EQ(ReadFileBytes(path), "list");
  EXPECT_EQ(EntryCount(), 4u);
}

TEST(UserDataDirectory, FollowsXdgDataHomeThenHome) {
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string data = savedData ? savedData : "";
  const std::string home = savedHome ? savedHome : "";
  ::setenv("XDG_DATA_HOME", "/srv/data", 1);
  ::setenv("HOME", "/home/jörg", 1);
  EXPECT_EQ(UserDataDirectory(), "/srv/data");
  ::setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
  EXPECT_EQ(UserDataDirectory(), "/home/jörg/.local/share");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(UserDataDirectory(), "/home/jörg/.local/share");
  ::unsetenv("HOME");
  EXPECT_FALSE(UserDataDirectory().empty());  // from the password database
  if (savedData) ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  if (savedHome) ::setenv("HOME", home.c_str(), 1);
}

TEST(ProgramDirectory, IsTheFolderOfThisTestProgram) {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  ASSERT_GT(n, 0);
  const fs::path exe(std::string(buffer, static_cast<std::size_t>(n)));
  const std::string directory = ProgramDirectory();
  EXPECT_EQ(directory, exe.parent_path().string());
  EXPECT_NE(directory.back(), '/');
  EXPECT_TRUE(FileExists(JoinPath(directory, exe.filename().string())));
}

TEST(JoinPath, PutsOneSlashBetween) {
  EXPECT_EQ(JoinPath("/opt/korvelin", "a.txt"), "/opt/korvelin/a.txt");
  EXPECT_EQ(JoinPath("/", "a.txt"), "/a.txt");
  EXPECT_EQ(JoinPath("", "a.txt"), "a.txt");
  EXPECT_EQ(JoinPath("/opt", "监控列表_默认.txt"), "/opt/监控列表_默认.txt");
}

}  // namespace
}  // namespace korvelin
