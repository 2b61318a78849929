#include "support/fake_program.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "support/test_pki.h"

namespace korvelin::testing {

FakeOption FakeOption::Number(const char* name, int& target) {
  return {name, true, [&target](const char* value) {
            target = std::atoi(value);
            return true;
          }};
}

FakeOption FakeOption::Text(const char* name, std::string& target) {
  return {name, true, [&target](const char* value) {
            target = value;
            return true;
          }};
}

FakeOption FakeOption::Flag(const char* name, bool& target) {
  return {name, false, [&target](const char*) {
            target = true;
            return true;
          }};
}

FakeOption FakeOption::Pki(const char* program) {
  return {"--pki", true, [program](const char* directory) {
            if (UseTestPki(directory)) return true;
            std::cerr << program << ": no test certificates in " << directory << "\n";
            return false;
          }};
}

bool ReadFakeOptions(int argc, char** argv, const char* program, const std::string& usage,
                     const std::vector<FakeOption>& options) {
  for (int i = 1; i < argc; ++i) {
    const FakeOption* option = nullptr;
    for (const FakeOption& candidate : options) {
      if (std::strcmp(argv[i], candidate.name) == 0) option = &candidate;
    }
    if (option == nullptr) {
      std::cerr << program << ": unknown option " << argv[i] << "\n" << usage << "\n";
      return false;
    }
    const char* value = nullptr;
    if (option->takesValue) {
      if (i + 1 >= argc) {
        std::cerr << program << ": " << argv[i] << " needs a value\n" << usage << "\n";
        return false;
      }
      value = argv[++i];
    }
    if (!option->apply(value)) return false;
  }
  return true;
}

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGTERM);
  sigaddset(&signals_, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
}

void StopSignals::Wait() {
  int received = 0;
  sigwait(&signals_, &received);
}

AppendLog::AppendLog(const std::string& path) : file_(path, std::ios::binary | std::ios::app) {}

void AppendLog::Write(const std::string& record) {
  std::lock_guard lock(mutex_);
  file_ << record;
  file_.flush();
}

}  // namespace korvelin::testing
