// What the stand-alone fake servers (fake_gateway, fake_smtp, fake_marketplace) share: their
// command-line reading, their stop on SIGTERM or SIGINT and their append-only log file.
#pragma once

#include <signal.h>

#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace korvelin::testing {

// One command-line option: "--name VALUE" when it takes a value, else the bare "--name".
struct FakeOption {
  const char* name;
  bool takesValue;
  // Applies the value (nullptr for a bare option); false when the value is refused, after
  // the program has said why on stderr.
  std::function<bool(const char* value)> apply;

  // "--name N" into an int, "--name TEXT" into a string, the bare "--name" sets a flag.
  static FakeOption Number(const char* name, int& target);
  static FakeOption Text(const char* name, std::string& target);
  static FakeOption Flag(const char* name, bool& target);
  // "--pki DIR": serve TLS with the certificate make_test_pki wrote into DIR (so that the
  // end-to-end run, which trusts DIR/ca.pem, verifies it).
  static FakeOption Pki(const char* program);
};

// Applies argv's options in order. An unknown option or one without its value is reported
// on stderr as "<program>: ..." followed by the usage line; false then, or when an option
// refused its value (the program exits with status 2).
bool ReadFakeOptions(int argc, char** argv, const char* program, const std::string& usage,
                     const std::vector<FakeOption>& options);

// Blocks SIGTERM and SIGINT in the calling thread and every thread it starts afterwards (so
// construct it before any server thread starts); Wait returns once one of them arrives.
class StopSignals {
 public:
  StopSignals();
  void Wait();

 private:
  sigset_t signals_;
};

// A log file opened for appending (created when missing). Each record is written whole,
// under a lock, and flushed at once, so a reader sees it as soon as Write returns.
class AppendLog {
 public:
  explicit AppendLog(const std::string& path);
  bool Ok() const { return file_.is_open(); }
  void Write(const std::string& record);

 private:
  std::mutex mutex_;
  std::ofstream file_;
};

}  // namespace korvelin::testing
