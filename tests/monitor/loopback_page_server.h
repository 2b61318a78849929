// A small HTTP/1.1 server on 127.0.0.1 for the engine tests: answers every GET with the body
// its handler gives for the path, one thread per connection. Replies can be held back until
// the test releases them (a slow page). Also: a listener that never accepts (connections hang
// until it closes) and a port where nothing listens.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

  explicit LoopbackPageServer(Handler handler) : handler_(std::move(handler)) {
    socket_.Listen(512);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~LoopbackPageServer() {
    stopping_ = true;
    Release();
    acceptor_.join();
    std::vector<std::thread> connections;
    {
      std::lock_guard lock(mutex_);
      connections.swap(connections_);
    }
    for (std::thread& connection : connections) connection.join();
  }

  std::string HostPort() const { return socket_.HostPort(); }
  void SetHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
  }
  // Replies wait until Release().
  void Hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    changed_.notify_all();
  }
  // Waits until `count` requests have arrived (whether answered or held).
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return paths_.size() >= count; });
  }
  std::vector<std::string> Paths() const {
    std::lock_guard lock(mutex_);
    return paths_;
  }

 private:
  void AcceptLoop() {
    while (!stopping_) {
      pollfd wait{socket_.fd(), POLLIN, 0};
      if (::poll(&wait, 1, 50) <= 0) continue;
      const int connection = ::accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      std::lock_guard lock(mutex_);
      connections_.emplace_back([this, connection] { Serve(connection); });
    }
  }

  void Serve(int connection) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    std::string path;
    const std::size_t space = request.find(' ');
    if (space != std::string::npos) {
      path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
    }
    Handler handler;
    {
      std::unique_lock lock(mutex_);
      paths_.push_back(path);
      changed_.notify_all();
      changed_.wait(lock, [&] { return !held_ || stopping_; });
      handler = handler_;
    }
    const std::string body = handler ? handler(path) : std::string();
    const std::string reply =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    std::size_t sent = 0;
    while (sent < reply.size()) {
      const ssize_t n = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    ::shutdown(connection, SHUT_WR);
    while (::recv(connection, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(connection);
  }

  LoopbackSocket socket_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Handler handler_;
  bool held_ = false;
  std::vector<std::string> paths_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace korvelin::testing
