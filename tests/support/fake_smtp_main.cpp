// The fake SMTP server as a program for the end-to-end run:
//   fake_smtp --port N --log FILE [--refuse] [--starttls] [--pki DIR]
// Accepts any login unless --refuse is given (then every login is refused). Each accepted
// mail is appended to the log file, flushed at once: envelope, decoded subject and body
// (UTF-8) and the raw data. Runs until SIGTERM or SIGINT.
#include <iostream>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "support/fake_program.h"
#include "support/fake_smtp.h"

int main(int argc, char** argv) {
  using korvelin::testing::FakeOption;
  int port = 0;
  std::string logPath;
  bool refuse = false;
  bool startTls = false;
  const std::vector<FakeOption> options = {
      FakeOption::Number("--port", port),
      FakeOption::Text("--log", logPath),
      FakeOption::Pki("fake_smtp"),
      FakeOption::Flag("--refuse", refuse),
      FakeOption::Flag("--starttls", startTls),
  };
  if (!korvelin::testing::ReadFakeOptions(
          argc, argv, "fake_smtp",
          "usage: fake_smtp --port N --log FILE [--refuse] [--starttls] [--pki DIR]", options)) {
    return 2;
  }
  if (logPath.empty()) {
    std::cerr << "fake_smtp: --log FILE is required\n";
    return 2;
  }

  korvelin::testing::StopSignals stop;
  korvelin::testing::AppendLog log(logPath);
  korvelin::testing::FakeSmtpOptions serverOptions;
  serverOptions.offerStartTls = startTls;
  serverOptions.accept = [refuse](const std::string&, const std::string&) { return !refuse; };
  korvelin::testing::FakeSmtp server(serverOptions, port);
  if (!server.Ok()) {
    std::cerr << "fake_smtp: cannot listen on port " << port << "\n";
    return 1;
  }
  server.SetOnMessage([&](const korvelin::testing::SmtpMessage& m) {
    std::string record = "=== message\n";
    record += "login: " + m.loginUser + "\n";
    record += std::string("tls: ") + (m.tls ? "yes" : "no") + "\n";
    record += "from: " + m.mailFrom + "\n";
    for (const std::string& to : m.recipients) record += "to: " + to + "\n";
    record +=
        "subject: " + korvelin::AnsiToUtf8(korvelin::testing::DecodeMailSubject(m.data)) + "\n";
    record += "body:\n" + korvelin::AnsiToUtf8(korvelin::testing::DecodeMailBody(m.data)) + "\n";
    record += "--- data\n" + m.data + "=== end\n";
    log.Write(record);
  });
  std::cout << "fake_smtp listening on 127.0.0.1:" << server.Port() << std::endl;

  stop.Wait();
  return 0;
}
