#include "common/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace korvelin {
namespace {

// Owns a file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (a write error may show up here).
  bool Close() {
    if (fd_ < 0) return true;
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Records a failure's errno value for the caller and gives false.
bool Fail(int* error, int value) {
  if (error) *error = value != 0 ? value : EIO;
  return false;
}

bool Succeed(int* error) {
  if (error) *error = 0;
  return true;
}

// The file a path names, with a symbolic link followed to the file it points to, so that
// replacing the file keeps the link a link.
std::string ResolveLink(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      std::string target = resolved;
      std::free(resolved);
      return target;
    }
  }
  return path;
}

// The start of the names of the temporary files that an atomic write of `target` makes:
// target + ".tmp." + process id + "." + a number.
std::string TemporaryPrefix(const std::string& target) { return target + ".tmp."; }

// A new file made by root would otherwise be root's; it goes to the owner of its folder,
// so the user who runs the program under sudo can still edit and replace it.
void GiveToFolderOwner(int fd, const std::string& directory) {
  if (::geteuid() != 0) return;
  struct stat folder {};
  if (::stat(directory.c_str(), &folder) == 0 && ::fchown(fd, folder.st_uid, folder.st_gid) != 0) {
    // The file stays root's; it is still written.
  }
}

// Overwrites the file's bytes without a rename: the space the new contents need is
// reserved first, so a full disk or a size limit fails before any old byte changes.
bool WriteInPlace(const std::string& target, std::string_view bytes, int* error) {
  FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) return Fail(error, errno);
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Fail(error, errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return Fail(error, errno);
  const auto oldSize = static_cast<off_t>(info.st_size);
  const auto newSize = static_cast<off_t>(bytes.size());
  if (newSize > oldSize) {
    if (const int reserved = ::posix_fallocate(fd.get(), oldSize, newSize - oldSize)) {
      if (::ftruncate(fd.get(), oldSize) != 0) {
        // The old bytes are untouched; only zeros past them may remain.
      }
      return Fail(error, reserved);
    }
  }
  const char* p = bytes.data();
  off_t offset = 0;
  while (offset < newSize) {
    const ssize_t n =
        ::pwrite(fd.get(), p + offset, static_cast<std::size_t>(newSize - offset), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(error, n < 0 ? errno : EIO);
    offset += n;
  }
  if (newSize < oldSize && ::ftruncate(fd.get(), newSize) != 0) return Fail(error, errno);
  if (::fsync(fd.get()) != 0) return Fail(error, errno);
  if (!fd.Close()) return Fail(error, errno);
  return Succeed(error);
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  if (path.empty()) return {};
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return {};
  std::string bytes;
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    // A regular file is read straight into a string of its size; the loop below only
    // runs for what it may have grown by since.
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
      const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return {};
      if (n == 0) break;
      filled += static_cast<std::size_t>(n);
    }
    if (filled < bytes.size()) {
      bytes.resize(filled);
      return bytes;
    }
  }
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

bool WriteFileBytes(const std::string& path, std::string_view bytes, int* error) {
  if (path.empty()) return Fail(error, ENOENT);
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!fd.valid()) return Fail(error, errno);
  // Exclusive use while writing: another writer holding the file makes this one fail
  // before anything is changed.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Fail(error, errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return Fail(error, errno);
  if (S_ISREG(info.st_mode) && ::ftruncate(fd.get(), 0) != 0) return Fail(error, errno);
  if (!WriteAll(fd.get(), bytes)) return Fail(error, errno);
  if (!fd.Close()) return Fail(error, errno);
  return Succeed(error);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, int* error) {
  if (path.empty()) return Fail(error, ENOENT);
  static std::atomic<unsigned> counter{0};
  const std::string target = ResolveLink(path);
  const std::string directory = DirectoryOf(target);
  // A file that is there already must be writable by us, as an in-place write would need:
  // a write-protected list is left alone, not renamed over. The new file keeps its mode
  // and, where we may give it, its owner.
  struct stat existing {};
  const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replacing && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return Fail(error, errno);
  }
  const std::string temporary = TemporaryPrefix(target) + std::to_string(::getpid()) + "." +
                                std::to_string(counter.fetch_add(1));
  FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid()) return Fail(error, errno);
  if (replacing) {
    if ((existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) &&
        ::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) {
      // Only root may give a file away; anyone else's copy becomes their own.
    }
  } else {
    GiveToFolderOwner(fd.get(), directory);
  }
  int failure = 0;
  if (replacing && ::fchmod(fd.get(), existing.st_mode & 07777) != 0) failure = errno;
  if (failure == 0 && !WriteAll(fd.get(), bytes)) failure = errno;
  if (failure == 0 && ::fsync(fd.get()) != 0) failure = errno;
  if (!fd.Close() && failure == 0) failure = errno;
  if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) failure = errno;
  if (failure != 0) {
    ::unlink(temporary.c_str());
    return Fail(error, failure);
  }
  // Make the rename itself durable; the data is already safe, so a failure here is ignored.
  FileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());
  return Succeed(error);
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, int* error) {
  int failure = 0;
  if (WriteFileAtomically(path, bytes, &failure)) return Succeed(error);
  // A folder that takes no new files (or no renames) while the file itself may be written.
  const std::string target = ResolveLink(path);
  struct stat info {};
  if ((failure == EACCES || failure == EPERM) && ::stat(target.c_str(), &info) == 0 &&
      S_ISREG(info.st_mode) && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) {
    return WriteInPlace(target, bytes, error);
  }
  return Fail(error, failure);
}

void RemoveLeftoverTemporaryFiles(const std::string& path) {
  if (path.empty()) return;
  const std::string target = ResolveLink(path);
  const std::string directory = DirectoryOf(target);
  const std::string prefix = TemporaryPrefix(target.substr(target.find_last_of('/') + 1));
  DIR* folder = ::opendir(directory.c_str());
  if (!folder) return;
  std::vector<std::string> leftovers;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name(entry->d_name);
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    // The writer's process id follows the prefix; a writer that still runs keeps its file
    // (this process saves from one thread only, so its own files are leftovers too).
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t dot = rest.find('.');
    const std::string pidText(rest.substr(0, dot));
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
    const long pid = std::strtol(pidText.c_str(), nullptr, 10);
    if (pid != ::getpid() && pid > 0 &&
        (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)) {
      continue;
    }
    leftovers.push_back(JoinPath(directory, std::string(name)));
  }
  ::closedir(folder);
  for (const std::string& leftover : leftovers) {
    struct stat info {};
    if (::lstat(leftover.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(leftover.c_str());
  }
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryWritable(const std::string& directory) {
  if (directory.empty()) return false;
  struct stat info {};
  return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool MakeDirectories(const std::string& directory) {
  if (directory.empty()) return false;
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = directory.find('/', end + 1);
    const std::string part = directory.substr(0, end);
    struct stat info {};
    if (::stat(part.c_str(), &info) == 0) continue;
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (::geteuid() == 0) {
      // A folder root makes in a user's home stays the user's.
      struct stat parent {};
      if (::stat(DirectoryOf(part).c_str(), &parent) == 0 &&
          ::chown(part.c_str(), parent.st_uid, parent.st_gid) != 0) {
        // It stays root's; the program still works.
      }
    }
  }
  struct stat info {};
  return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string UserDataDirectory() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return dataHome;
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable && variable[0] == '/') {
    home = variable;
  } else {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
      home = found->pw_dir;
    }
  }
  if (home.empty()) return {};
  return JoinPath(home, ".local/share");
}

std::string ProgramDirectory() {
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<std::size_t>(n));
  return DirectoryOf(buffer);
}

std::string JoinPath(const std::string& directory, const std::string& fileName) {
  if (directory.empty()) return fileName;
  if (directory.back() == '/') return directory + fileName;
  return directory + "/" + fileName;
}

}  // namespace korvelin
