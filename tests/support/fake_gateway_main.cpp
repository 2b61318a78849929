// The fake SMS gateway as a program for the end-to-end run:
//   fake_gateway --port N --log FILE [--reply TEXT] [--tls] [--pki DIR]
// Serves HTTPS with the self-signed test certificate when --tls is given (the real gateway
// is an https endpoint). Answers every request with the reply text (default: a Textbelt-style
// success reply) and appends each request to the log file, flushed at once: request line, headers,
// body. Runs until SIGTERM or SIGINT.
#include <iostream>
#include <string>
#include <vector>

#include "support/fake_gateway.h"
#include "support/fake_program.h"

int main(int argc, char** argv) {
  using korvelin::testing::FakeOption;
  int port = 0;
  std::string logPath;
  std::string reply = R"({"success":true,"textId":"1","quotaRemaining":2})";
  bool tls = false;
  const std::vector<FakeOption> options = {
      FakeOption::Number("--port", port), FakeOption::Text("--log", logPath),
      FakeOption::Pki("fake_gateway"),    FakeOption::Text("--reply", reply),
      FakeOption::Flag("--tls", tls),
  };
  if (!korvelin::testing::ReadFakeOptions(
          argc, argv, "fake_gateway",
          "usage: fake_gateway --port N --log FILE [--reply TEXT] [--tls] [--pki DIR]", options)) {
    return 2;
  }
  if (logPath.empty()) {
    std::cerr << "fake_gateway: --log FILE is required\n";
    return 2;
  }

  korvelin::testing::StopSignals stop;
  korvelin::testing::AppendLog log(logPath);
  korvelin::testing::FakeGateway server(reply, port, tls);
  if (!server.Ok()) {
    std::cerr << "fake_gateway: cannot listen on port " << port << "\n";
    return 1;
  }
  server.SetOnRequest([&](const korvelin::testing::GatewayRequest& r) {
    log.Write("=== request\n" + r.method + " " + r.path + "\n" + r.headers + "\n" + r.body +
              "\n=== end\n");
  });
  std::cout << "fake_gateway listening on 127.0.0.1:" << server.Port() << std::endl;

  stop.Wait();
  return 0;
}
