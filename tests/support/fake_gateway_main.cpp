// The fake SMS gateway as a program for the end-to-end run:
//   fake_gateway --port N --log FILE [--reply TEXT] [--tls]
// Serves HTTPS with the self-signed test certificate when --tls is given (the real gateway
// is an https endpoint). Answers every request with the reply text (default: a Textbelt-style
// success reply) and appends each request to the log file, flushed at once: request line, headers,
// body. Runs until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>

#include "support/fake_gateway.h"

int main(int argc, char** argv) {
  int port = 0;
  std::string logPath;
  std::string reply = R"({"success":true,"textId":"1","quotaRemaining":2})";
  bool tls = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--port") && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--log") && i + 1 < argc) {
      logPath = argv[++i];
    } else if (!std::strcmp(argv[i], "--reply") && i + 1 < argc) {
      reply = argv[++i];
    } else if (!std::strcmp(argv[i], "--tls")) {
      tls = true;
    } else {
      std::cerr << "usage: fake_gateway --port N --log FILE [--reply TEXT] [--tls]\n";
      return 2;
    }
  }
  if (logPath.empty()) {
    std::cerr << "fake_gateway: --log FILE is required\n";
    return 2;
  }

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::ofstream log(logPath, std::ios::binary | std::ios::app);
  std::mutex logMutex;
  korvelin::testing::FakeGateway server(reply, port, tls);
  if (!server.Ok()) {
    std::cerr << "fake_gateway: cannot listen on port " << port << "\n";
    return 1;
  }
  server.SetOnRequest([&](const korvelin::testing::GatewayRequest& r) {
    std::lock_guard lock(logMutex);
    log << "=== request\n"
        << r.method << " " << r.path << "\n"
        << r.headers << "\n"
        << r.body << "\n=== end\n";
    log.flush();
  });
  std::cout << "fake_gateway listening on 127.0.0.1:" << server.Port() << std::endl;

  int signal = 0;
  sigwait(&stopSignals, &signal);
  return 0;
}
