// A small HTTP/1.1 server on 127.0.0.1 for the engine tests and benchmarks, on the
// loopback server: answers each request with the body its handler gives for the path, one
// request per connection. Replies can be held back until the test releases them (a slow
// page). Also: a listener that never accepts (connections hang until it closes) and a port
// where nothing listens.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace korvelin::testing {

// A socket bound to 127.0.0.1 on a free port; closes itself.
class LoopbackSocket {
 public:
  LoopbackSocket() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackSocket() { Close(); }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;
  void Listen(int backlog) { ::listen(fd_, backlog); }
  // Closing a listener resets the connections it never accepted.
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }
  int port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// "127.0.0.1:port" where nothing listens: connections are refused at once.
inline std::string ClosedHostPort() {
  LoopbackSocket socket;  // bound, never listening, closed on return
  return socket.HostPort();
}

class LoopbackPageServer {
 public:
  using Handler = std::function<std::string(const std::string& path)>;

  explicit LoopbackPageServer(Handler handler);
  ~LoopbackPageServer();

  std::string HostPort() const { return "127.0.0.1:" + std::to_string(server_->Port()); }
  void SetHandler(Handler handler);
  // Replies wait until Release().
  void Hold();
  void Release();
  // Waits until `count` requests have arrived (whether answered or held).
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit);
  std::vector<std::string> Paths() const;

 private:
  void Serve(Connection& c);

  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Handler handler_;
  bool held_ = false;
  std::vector<std::string> paths_;
  std::unique_ptr<LoopbackServer> server_;  // last: its threads stop before the rest goes
};

}  // namespace korvelin::testing
