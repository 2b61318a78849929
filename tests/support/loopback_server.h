// A real TCP server on 127.0.0.1 for tests and the end-to-end fakes.
//
//   LoopbackServer server([](Connection& c) {
//     std::string line;
//     while (c.ReadLine(line)) c.Write(line + "\r\n");   // an echo server
//   });
//   int port = server.Port();                            // any free port (port 0)
//
// One thread accepts connections and starts one thread per connection, which runs the
// handler with a `Connection`. When the handler returns, the connection is closed (unless
// the handler closed or reset it itself). The destructor stops accepting, wakes every
// handler that waits in a read or a write (reads then fail, writes then fail), and joins
// all threads; a handler that loops must therefore stop when a read or write fails or when
// `Connection::Stopping()` is true.
//
// `Connection::StartTls()` turns a plain connection into a server-side TLS connection (for
// an HTTPS port or for STARTTLS). The certificate is the server's TlsIdentity from
// support/test_pki.h: by default one signed by the tests' own certificate authority for
// every host the tests use, made in memory once per process.
//
// The server ignores SIGPIPE for the process (a client that goes away makes a write fail
// instead of ending the test program).
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "support/test_pki.h"

typedef struct ssl_st SSL;

namespace korvelin::testing {

class LoopbackServer;

class Connection {
 public:
  Connection(int fd, LoopbackServer* server);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Reads up to the next CRLF; `line` gets the text without the CRLF. A bare LF also ends
  // a line (its CR-less text is returned). False on end of stream, error, time-out or
  // server stop; then `line` holds what arrived of the unfinished line.
  bool ReadLine(std::string& line, int timeoutMs = kDefaultTimeoutMs);
  // Like ReadLine, but `line` keeps its terminator (CRLF or LF) byte for byte; a recorder
  // that must keep what the client sent exactly uses this one.
  bool ReadRawLine(std::string& line, int timeoutMs = kDefaultTimeoutMs);
  // Reads exactly n bytes into `out`. False (with the bytes that arrived) when the stream
  // ends or the time-out passes first.
  bool ReadExact(std::size_t n, std::string& out, int timeoutMs = kDefaultTimeoutMs);
  // Whatever is available: waits up to timeoutMs for at least one byte and returns the
  // bytes that are there (buffered bytes first). Empty on time-out, end of stream or stop.
  std::string ReadSome(int timeoutMs = kDefaultTimeoutMs);
  // True when the peer has closed its side (a read returned end of stream).
  bool PeerClosed() const { return eof_; }

  // Writes all bytes; false when the peer has gone or the server stops.
  bool Write(std::string_view bytes);

  // Server-side TLS handshake on this connection; later reads and writes are encrypted.
  // Bytes already buffered as plain text are dropped. False when the handshake fails.
  bool StartTls();
  bool IsTls() const { return ssl_ != nullptr; }

  // Orderly close: TLS close-notify, FIN, a short drain of unread input, close.
  void Close();
  // Abortive close: SO_LINGER 0, so the peer gets an RST.
  void Reset();
  bool IsOpen() const { return fd_ >= 0; }

  // True once the owning server is shutting down.
  bool Stopping() const;
  // The local port the client connected to.
  int LocalPort() const;

  static constexpr int kDefaultTimeoutMs = 10000;

 private:
  // Reads more bytes into buffer_. 1 read, 0 end of stream, -1 error/time-out/stop.
  int Fill(int timeoutMs);
  void Release();

  int fd_;
  LoopbackServer* server_;
  SSL* ssl_ = nullptr;
  std::string buffer_;
  bool eof_ = false;
};

class LoopbackServer {
 public:
  using Handler = std::function<void(Connection&)>;

  // Listens on 127.0.0.1:port (0 = any free port). When the port cannot be bound,
  // Ok() is false and Port() is 0.
  explicit LoopbackServer(Handler handler, int port = 0,
                          TlsIdentity identity = TlsIdentity::kTrusted);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Ok() const { return listenFd_ >= 0; }
  int Port() const { return port_; }
  // Number of connections accepted so far.
  int AcceptedCount() const { return accepted_.load(); }
  // Stops accepting, wakes and joins every handler. Called by the destructor; idempotent.
  void Stop();
  bool Stopping() const { return stopping_.load(); }

 private:
  friend class Connection;
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void AcceptLoop();
  void ReapFinished();
  void Unregister(int fd);
  // A file descriptor that becomes readable when the server stops.
  int WakeFd() const { return wakePipe_[0]; }

  Handler handler_;
  const TlsIdentity identity_;
  int listenFd_ = -1;
  int port_ = 0;
  int wakePipe_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptThread_;
  std::mutex mutex_;  // guards workers_ and openFds_
  std::list<Worker> workers_;
  std::set<int> openFds_;
};

}  // namespace korvelin::testing
