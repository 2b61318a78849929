// The fake SMTP server as a program for the end-to-end run:
//   fake_smtp --port N --log FILE [--refuse] [--starttls]
// Accepts any login unless --refuse is given (then every login is refused). Each accepted
// mail is appended to the log file, flushed at once: envelope, decoded subject and body
// (UTF-8) and the raw data. Runs until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>

#include "common/code_page.h"
#include "support/fake_smtp.h"

int main(int argc, char** argv) {
  int port = 0;
  std::string logPath;
  bool refuse = false;
  bool startTls = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--port") && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--log") && i + 1 < argc) {
      logPath = argv[++i];
    } else if (!std::strcmp(argv[i], "--refuse")) {
      refuse = true;
    } else if (!std::strcmp(argv[i], "--starttls")) {
      startTls = true;
    } else {
      std::cerr << "usage: fake_smtp --port N --log FILE [--refuse] [--starttls]\n";
      return 2;
    }
  }
  if (logPath.empty()) {
    std::cerr << "fake_smtp: --log FILE is required\n";
    return 2;
  }

  // Block the stop signals in every thread; the main thread waits for them below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::ofstream log(logPath, std::ios::binary | std::ios::app);
  std::mutex logMutex;
  korvelin::testing::FakeSmtpOptions options;
  options.offerStartTls = startTls;
  options.accept = [refuse](const std::string&, const std::string&) { return !refuse; };
  korvelin::testing::FakeSmtp server(options, port);
  if (!server.Ok()) {
    std::cerr << "fake_smtp: cannot listen on port " << port << "\n";
    return 1;
  }
  server.SetOnMessage([&](const korvelin::testing::SmtpMessage& m) {
    std::lock_guard lock(logMutex);
    log << "=== message\n";
    log << "login: " << m.loginUser << "\n";
    log << "tls: " << (m.tls ? "yes" : "no") << "\n";
    log << "from: " << m.mailFrom << "\n";
    for (const std::string& to : m.recipients) log << "to: " << to << "\n";
    log << "subject: " << korvelin::AnsiToUtf8(korvelin::testing::DecodeMailSubject(m.data))
        << "\n";
    log << "body:\n" << korvelin::AnsiToUtf8(korvelin::testing::DecodeMailBody(m.data)) << "\n";
    log << "--- data\n" << m.data << "=== end\n";
    log.flush();
  });
  std::cout << "fake_smtp listening on 127.0.0.1:" << server.Port() << std::endl;

  int signal = 0;
  sigwait(&stopSignals, &signal);
  return 0;
}
