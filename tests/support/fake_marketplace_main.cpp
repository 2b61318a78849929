// The fake marketplace as a program of its own, for the end-to-end run:
//
//   fake_marketplace --port 80 --tls-port 443 --log FILE --price CODE=TEXT [--price ...]
//
// Serves the reviews page of every CODE given with --price for every marketplace host; the
// price marker is chosen by the request's Host header (www.amazon.de "EUR", co.jp the
// Shift_JIS yen bytes, .com "$", .ca "CDN$", .co.uk the pound sign, .cn the full-width yuan
// sign, other hosts "EUR"). Every request head is appended to the log file at once.
// Prints "fake_marketplace ready PORT TLSPORT" when it listens; ends on SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_marketplace.h"

int main(int argc, char** argv) {
  int port = 0;
  int tlsPort = 0;
  std::string logPath;
  std::vector<std::pair<std::string, std::string>> prices;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (value == nullptr) {
      std::fprintf(stderr, "fake_marketplace: %s needs a value\n", arg.c_str());
      return 2;
    }
    ++i;
    if (arg == "--port") {
      port = std::atoi(value);
    } else if (arg == "--tls-port") {
      tlsPort = std::atoi(value);
    } else if (arg == "--log") {
      logPath = value;
    } else if (arg == "--price") {
      const char* eq = std::strchr(value, '=');
      if (eq == nullptr) {
        std::fprintf(stderr, "fake_marketplace: --price wants CODE=TEXT\n");
        return 2;
      }
      prices.emplace_back(std::string(value, eq), std::string(eq + 1));
    } else {
      std::fprintf(stderr, "fake_marketplace: unknown option %s\n", arg.c_str());
      return 2;
    }
  }

  // Block the stop signals before any thread starts, so only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  korvelin::testing::FakeMarketplace server(port, tlsPort);
  if (!server.Ok()) {
    std::fprintf(stderr, "fake_marketplace: cannot listen on port %d / %d\n", port, tlsPort);
    return 1;
  }
  if (!logPath.empty() && !server.SetLogFile(logPath)) {
    std::fprintf(stderr, "fake_marketplace: cannot open log %s\n", logPath.c_str());
    return 1;
  }
  for (const auto& [code, text] : prices) server.SetPrice(code, text);
  std::printf("fake_marketplace ready %d %d\n", server.Port(), server.TlsPort());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}
