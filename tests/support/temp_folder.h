// A fresh folder for a test's files, and a way to run code without root rights so that
// folder permissions apply even when the tests run as root.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace korvelin::testing {

// A fresh folder (by default under the system's temporary folder), removed with everything
// in it.
class TempFolder {
 public:
  explicit TempFolder(
      const char* prefix = "korvelin-test",
      const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
    std::string pattern = (parent / (std::string(prefix) + "-XXXXXX")).string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Runs `body` in a child process without root rights (as nobody when the tests run as
// root); gives the child's exit code, -1 when it did not end normally.
inline int RunUnprivileged(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    _exit(body());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace korvelin::testing
