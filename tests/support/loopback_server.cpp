#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "support/test_pki.h"

namespace korvelin::testing {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Connection

Connection::Connection(int fd, LoopbackServer* server) : fd_(fd), server_(server) {}

Connection::~Connection() {
  if (fd_ >= 0) Close();
}

bool Connection::Stopping() const { return server_->Stopping(); }

int Connection::LocalPort() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

int Connection::Fill(int timeoutMs) {
  if (fd_ < 0 || eof_) return eof_ ? 0 : -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  char chunk[16384];
  for (;;) {
    if (server_->Stopping()) return -1;
    if (ssl_ == nullptr || SSL_pending(ssl_) == 0) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {server_->WakeFd(), POLLIN, 0}};
      int ready = poll(fds, 2, RemainingMs(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return -1;  // time-out or poll error
      if (fds[1].revents != 0) return -1;
      if (fds[0].revents == 0) continue;
    }
    if (ssl_ != nullptr) {
      int n = SSL_read(ssl_, chunk, sizeof chunk);
      if (n > 0) {
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return 1;
      }
      int error = SSL_get_error(ssl_, n);
      if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        if (RemainingMs(deadline) == 0) return -1;
        continue;
      }
      ERR_clear_error();
      eof_ = true;  // close-notify, reset or broken record: nothing more comes
      return 0;
    }
    ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return 1;
    }
    if (n < 0 && errno == EINTR) continue;
    eof_ = true;  // orderly end (0) or a reset
    return 0;
  }
}

bool Connection::ReadRawLine(std::string& line, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t scanned = 0;
  for (;;) {
    std::size_t lf = buffer_.find('\n', scanned);
    if (lf != std::string::npos) {
      line.assign(buffer_, 0, lf + 1);
      buffer_.erase(0, lf + 1);
      return true;
    }
    scanned = buffer_.size();
    if (Fill(RemainingMs(deadline)) <= 0) {
      line = buffer_;
      buffer_.clear();
      return false;
    }
  }
}

bool Connection::ReadLine(std::string& line, int timeoutMs) {
  if (!ReadRawLine(line, timeoutMs)) return false;
  line.pop_back();  // LF
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool Connection::ReadExact(std::size_t n, std::string& out, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (buffer_.size() < n) {
    if (Fill(RemainingMs(deadline)) <= 0) {
      out = std::move(buffer_);
      buffer_.clear();
      return false;
    }
  }
  out.assign(buffer_, 0, n);
  buffer_.erase(0, n);
  return true;
}

std::string Connection::ReadSome(int timeoutMs) {
  if (buffer_.empty()) Fill(timeoutMs);
  std::string out = std::move(buffer_);
  buffer_.clear();
  return out;
}

bool Connection::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    if (fd_ < 0 || server_->Stopping()) return false;
    if (ssl_ != nullptr) {
      int n = SSL_write(ssl_, bytes.data(),
                        static_cast<int>(bytes.size() > (1u << 20) ? (1u << 20) : bytes.size()));
      if (n <= 0) {
        ERR_clear_error();
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool Connection::StartTls() {
  if (fd_ < 0 || ssl_ != nullptr) return false;
  SSL_CTX* ctx = TestServerContext(server_->identity_);
  if (ctx == nullptr) return false;
  buffer_.clear();
  ssl_ = SSL_new(ctx);
  if (ssl_ == nullptr) return false;
  SSL_set_fd(ssl_, fd_);
  // The handshake blocks on the socket; a stop shuts the socket down and ends it.
  if (SSL_accept(ssl_) != 1) {
    ERR_clear_error();
    SSL_free(ssl_);
    ssl_ = nullptr;
    return false;
  }
  return true;
}

void Connection::Close() {
  if (fd_ < 0) return;
  if (ssl_ != nullptr && !eof_) {
    SSL_shutdown(ssl_);
    ERR_clear_error();
  }
  shutdown(fd_, SHUT_WR);
  // Drain what the peer still sends, so closing with unread input does not turn into an
  // RST that could destroy the reply before the peer has read it.
  const auto deadline = Clock::now() + std::chrono::milliseconds(200);
  char sink[4096];
  while (!server_->Stopping()) {
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, RemainingMs(deadline)) <= 0) break;
    if (recv(fd_, sink, sizeof sink, 0) <= 0) break;
  }
  Release();
}

void Connection::Reset() {
  if (fd_ < 0) return;
  linger lg{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  Release();
}

void Connection::Release() {
  if (ssl_ != nullptr) {
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  server_->Unregister(fd_);
  close(fd_);
  fd_ = -1;
}

// ---------------------------------------------------------------------------------------
// LoopbackServer

LoopbackServer::LoopbackServer(Handler handler, int port, TlsIdentity identity)
    : handler_(std::move(handler)), identity_(identity) {
  signal(SIGPIPE, SIG_IGN);
  if (pipe2(wakePipe_, O_CLOEXEC) != 0) return;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 512) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return;
  }
  listenFd_ = fd;
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  Stop();
  if (listenFd_ >= 0) close(listenFd_);
  for (int fd : wakePipe_)
    if (fd >= 0) close(fd);
}

void LoopbackServer::Stop() {
  if (stopping_.exchange(true)) return;
  if (wakePipe_[1] >= 0) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(wakePipe_[1], &byte, 1);
  }
  if (acceptThread_.joinable()) acceptThread_.join();
  std::list<Worker> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Wakes handlers blocked in a read, a write or a TLS handshake.
    for (int fd : openFds_) shutdown(fd, SHUT_RDWR);
    workers.swap(workers_);
  }
  for (Worker& w : workers) w.thread.join();
}

void LoopbackServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int ready = poll(fds, 2, 1000);
    if (stopping_.load() || (ready > 0 && fds[1].revents != 0)) return;
    ReapFinished();
    if (ready <= 0 || fds[0].revents == 0) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    accepted_.fetch_add(1);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> lock(mutex_);
    openFds_.insert(fd);
    workers_.push_back(Worker{std::thread([this, fd, done] {
                                try {
                                  Connection connection(fd, this);
                                  handler_(connection);
                                } catch (...) {
                                  // A failing handler ends its connection only.
                                }
                                done->store(true);
                              }),
                              done});
  }
}

void LoopbackServer::ReapFinished() {
  std::list<Worker> finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto next = std::next(it);
      if (it->done->load()) finished.splice(finished.end(), workers_, it);
      it = next;
    }
  }
  for (Worker& w : finished) w.thread.join();
}

void LoopbackServer::Unregister(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  openFds_.erase(fd);
}

}  // namespace korvelin::testing
