#include "support/fake_gateway.h"

#include <utility>

namespace korvelin::testing {

namespace {

constexpr int kReadTimeoutMs = 30000;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string UrlDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string GatewayRequest::Header(const std::string& name) const {
  return HeaderValue(headers, name);
}

std::map<std::string, std::string> ParseForm(const std::string& body) {
  std::map<std::string, std::string> fields;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t amp = body.find('&', pos);
    if (amp == std::string::npos) amp = body.size();
    const std::string item = body.substr(pos, amp - pos);
    if (!item.empty()) {
      const size_t eq = item.find('=');
      fields.emplace(UrlDecode(item.substr(0, eq)),
                     eq == std::string::npos ? std::string() : UrlDecode(item.substr(eq + 1)));
    }
    pos = amp + 1;
  }
  return fields;
}

FakeGateway::FakeGateway(std::string replyBody, int port, bool tls, TlsIdentity identity)
    : tls_(tls), reply_(std::move(replyBody)) {
  server_ = std::make_unique<LoopbackServer>([this](Connection& c) { Serve(c); }, port, identity);
}

FakeGateway::~FakeGateway() { server_->Stop(); }

std::string FakeGateway::Endpoint() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(Port()) + "/text";
}

void FakeGateway::SetReply(std::string replyBody) {
  std::lock_guard lock(mutex_);
  reply_ = std::move(replyBody);
}

std::vector<GatewayRequest> FakeGateway::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void FakeGateway::SetOnRequest(std::function<void(const GatewayRequest&)> onRequest) {
  std::lock_guard lock(mutex_);
  onRequest_ = std::move(onRequest);
}

void FakeGateway::Serve(Connection& c) {
  // One request per connection; the reply says so with "Connection: close".
  if (tls_ && !c.StartTls()) return;
  HttpRequest http;
  if (!ReadHttpRequest(c, http, kReadTimeoutMs)) return;
  GatewayRequest request{http.Method(), http.Path(), std::move(http.headerBlock),
                         std::move(http.body)};

  std::string reply;
  std::function<void(const GatewayRequest&)> onRequest;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    reply = reply_;
    onRequest = onRequest_;
  }
  if (onRequest) onRequest(request);
  c.Write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
          std::to_string(reply.size()) + "\r\nConnection: close\r\n\r\n" + reply);
}

}  // namespace korvelin::testing
