#include "common/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/code_page.h"

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

// Paths are code page 936 texts inside the program; the file system takes UTF-8.
std::string OsPath(const std::string& path) { return AnsiToUtf8(path); }

bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
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

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  if (path.empty()) return {};
  FileDescriptor fd(::open(OsPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return {};
  std::string bytes;
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    bytes.reserve(static_cast<std::size_t>(info.st_size));
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

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  FileDescriptor fd(::open(OsPath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!fd.valid()) return false;
  // Exclusive use while writing: another writer holding the file makes this one fail
  // before anything is changed.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return false;
  if (S_ISREG(info.st_mode) && ::ftruncate(fd.get(), 0) != 0) return false;
  if (!WriteAll(fd.get(), bytes)) return false;
  return fd.Close();
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  static std::atomic<unsigned> counter{0};
  std::string target = OsPath(path);
  // Through a link, the file it points to is replaced; the link stays a link.
  struct stat link {};
  if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  // A file that is there already must be writable by us, as an in-place write would need:
  // a write-protected list is left alone, not renamed over. The new file keeps its mode.
  struct stat existing {};
  const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replacing && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
  const std::string temporary = target + ".tmp." + std::to_string(::getpid()) + "." +
                                std::to_string(counter.fetch_add(1));
  FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid()) return false;
  const bool written = (!replacing || ::fchmod(fd.get(), existing.st_mode & 07777) == 0) &&
                       WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  const bool closed = fd.Close();
  if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; the data is already safe, so a failure here is ignored.
  FileDescriptor directory(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.valid()) ::fsync(directory.get());
  return true;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat info {};
  return ::stat(OsPath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string ProgramDirectory() {
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<std::size_t>(n));
  return Utf8ToAnsi(DirectoryOf(buffer));
}

std::string JoinPath(const std::string& directory, const std::string& fileName) {
  if (directory.empty()) return fileName;
  if (directory.back() == '/') return directory + fileName;
  return directory + "/" + fileName;
}

}  // namespace korvelin
