// The fake marketplace as a program of its own, for the end-to-end run:
//
//   fake_marketplace --port 80 --tls-port 443 --log FILE --price CODE=TEXT [--price ...]
//                    [--product-page CODE=FILE ...]   (FILE plain or gzip-compressed)
//
// Serves the reviews page of every CODE given with --price for every marketplace host; the
// price marker is chosen by the request's Host header (www.amazon.de "EUR", co.jp the
// Shift_JIS yen bytes, .com "$", .ca "CDN$", .co.uk the pound sign, .cn the full-width yuan
// sign, other hosts "EUR"). Every request head is appended to the log file at once.
// Prints "fake_marketplace ready PORT TLSPORT" when it listens; ends on SIGTERM or SIGINT.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/gzip_file.h"
#include "support/fake_marketplace.h"
#include "support/fake_program.h"

int main(int argc, char** argv) {
  using korvelin::testing::FakeOption;
  int port = 0;
  int tlsPort = 0;
  std::string logPath;
  std::vector<std::pair<std::string, std::string>> prices;
  std::vector<std::pair<std::string, std::string>> productPages;
  const std::vector<FakeOption> options = {
      FakeOption::Number("--port", port),
      FakeOption::Number("--tls-port", tlsPort),
      FakeOption::Text("--log", logPath),
      FakeOption::Pki("fake_marketplace"),
      {"--price", true,
       [&](const char* v) {
         const char* eq = std::strchr(v, '=');
         if (eq == nullptr) {
           std::fprintf(stderr, "fake_marketplace: --price wants CODE=TEXT\n");
           return false;
         }
         prices.emplace_back(std::string(v, eq), std::string(eq + 1));
         return true;
       }},
      {"--product-page", true,
       [&](const char* v) {
         const char* eq = std::strchr(v, '=');
         if (eq == nullptr) {
           std::fprintf(stderr, "fake_marketplace: --product-page wants CODE=FILE\n");
           return false;
         }
         productPages.emplace_back(std::string(v, eq), std::string(eq + 1));
         return true;
       }},
  };
  if (!korvelin::testing::ReadFakeOptions(
          argc, argv, "fake_marketplace",
          "usage: fake_marketplace --port N --tls-port N [--log FILE] [--pki DIR] [--price CODE=TEXT ...] "
          "[--product-page CODE=FILE ...]",
          options)) {
    return 2;
  }

  korvelin::testing::StopSignals stop;
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
  for (const auto& [code, file] : productPages) {
    std::optional<std::string> page = korvelin::ReadMaybeCompressedFile(file);
    if (!page) {
      std::fprintf(stderr, "fake_marketplace: cannot read %s\n", file.c_str());
      return 1;
    }
    server.SetProductPage(code, std::move(*page));
  }
  std::printf("fake_marketplace ready %d %d\n", server.Port(), server.TlsPort());
  std::fflush(stdout);

  stop.Wait();
  return 0;
}
