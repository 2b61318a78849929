// The loopback server that every network fake is built on: lines, exact reads, resets,
// TLS with the in-memory certificate, and a stop that does not hang on busy handlers.
#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>

namespace korvelin::testing {
namespace {

// A plain blocking client socket.
class Client {
 public:
  explicit Client(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~Client() { close(fd_); }
  bool connected() const { return connected_; }
  int fd() const { return fd_; }
  void Send(const std::string& s) {
    ASSERT_EQ(send(fd_, s.data(), s.size(), 0), (ssize_t)s.size());
  }
  // Everything until the server closes; `error` gets errno of a failed read.
  std::string ReadAll(int* error = nullptr) {
    std::string out;
    char buf[4096];
    for (;;) {
      ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n > 0) {
        out.append(buf, n);
        continue;
      }
      if (error != nullptr) *error = n < 0 ? errno : 0;
      return out;
    }
  }

 private:
  int fd_;
  bool connected_ = false;
};

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

TEST(LoopbackServer, ReadsLinesAndExactBytesAndWritesBack) {
  LoopbackServer server([](Connection& c) {
    std::string line, rest;
    ASSERT_TRUE(c.ReadLine(line));
    ASSERT_TRUE(c.ReadExact(5, rest));
    c.Write("[" + line + "][" + rest + "]");
  });
  ASSERT_TRUE(server.Ok());
  ASSERT_NE(server.Port(), 0);
  Client client(server.Port());
  ASSERT_TRUE(client.connected());
  client.Send("HELO a b\r\n");
  client.Send("12345");
  EXPECT_EQ(client.ReadAll(), "[HELO a b][12345]");
}

TEST(LoopbackServer, ReadFailsOnTimeOutAndOnPeerClose) {
  std::atomic<int> stage{0};
  LoopbackServer server([&](Connection& c) {
    std::string line;
    EXPECT_FALSE(c.ReadLine(line, 50));  // nothing sent yet
    EXPECT_FALSE(c.PeerClosed());
    c.Write("go\n");
    EXPECT_FALSE(c.ReadLine(line));  // the client sends half a line and closes
    EXPECT_EQ(line, "half");
    EXPECT_TRUE(c.PeerClosed());
    stage = 1;
  });
  {
    Client client(server.Port());
    ASSERT_TRUE(client.connected());
    std::string go;
    char byte;
    while (go.find('\n') == std::string::npos && recv(client.fd(), &byte, 1, 0) == 1) go += byte;
    EXPECT_EQ(go, "go\n");
    client.Send("half");
  }
  for (int i = 0; i < 5000 && stage.load() == 0; ++i) usleep(1000);
  EXPECT_EQ(stage.load(), 1);
}

TEST(LoopbackServer, ResetGivesThePeerAnRst) {
  LoopbackServer server([](Connection& c) {
    std::string line;
    c.ReadLine(line);
    c.Reset();
  });
  Client client(server.Port());
  client.Send("x\r\n");
  int error = 0;
  client.ReadAll(&error);
  EXPECT_EQ(error, ECONNRESET);
}

// Each test identity serves real TLS; with verification on (against the test authority the
// test program trusts in its namespace) only the trusted one is accepted.
TEST(LoopbackServer, StartTlsServesHttpsWithEachTestIdentity) {
  struct Case {
    TlsIdentity identity;
    CURLcode verified;
  };
  const Case cases[] = {{TlsIdentity::kTrusted, CURLE_OK},
                        {TlsIdentity::kUntrusted, CURLE_PEER_FAILED_VERIFICATION},
                        {TlsIdentity::kWrongHost, CURLE_PEER_FAILED_VERIFICATION}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.identity));
    LoopbackServer server(
        [](Connection& connection) {
          if (!connection.StartTls()) return;
          std::string line;
          while (connection.ReadLine(line) && !line.empty()) {
          }
          connection.Write(
              "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecret");
        },
        0, c.identity);
    CURL* curl = curl_easy_init();
    std::string body;
    const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
    EXPECT_EQ(body, "secret");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    body.clear();
    EXPECT_EQ(curl_easy_perform(curl), c.verified);
    EXPECT_EQ(body, c.verified == CURLE_OK ? "secret" : "");
    curl_easy_cleanup(curl);
  }
}

TEST(LoopbackServer, StopWakesHandlersThatWaitOrWriteForever) {
  auto server = std::make_unique<LoopbackServer>([](Connection& c) {
    std::string line;
    if (c.ReadLine(line, 60000) && line == "flood") {
      std::string chunk(65536, 'x');
      while (c.Write(chunk)) {
      }
    }
  });
  Client idle(server->Port());
  Client flooded(server->Port());
  flooded.Send("flood\r\n");
  while (server->AcceptedCount() < 2) usleep(1000);
  char buf[1024];
  ASSERT_GT(recv(flooded.fd(), buf, sizeof buf, 0), 0);  // the flood is under way
  server.reset();  // must return although one handler waits and one is blocked in a write
  EXPECT_FALSE(server);
}

}  // namespace
}  // namespace korvelin::testing
