#include "support/fake_gateway.h"

#include <cctype>
#include <cstdlib>

namespace korvelin::testing {

namespace {

constexpr int kReadTimeoutMs = 30000;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

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
  size_t pos = 0;
  const std::string wanted = Lower(name) + ":";
  while (pos < headers.size()) {
    size_t eol = headers.find("\r\n", pos);
    if (eol == std::string::npos) eol = headers.size();
    const std::string line = headers.substr(pos, eol - pos);
    if (Lower(line.substr(0, wanted.size())) == wanted) return Trim(line.substr(wanted.size()));
    pos = eol + 2;
  }
  return {};
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
  std::string line;
  if (!c.ReadLine(line, kReadTimeoutMs)) return;
  GatewayRequest request;
  const size_t s1 = line.find(' ');
  const size_t s2 = s1 == std::string::npos ? s1 : line.find(' ', s1 + 1);
  request.method = line.substr(0, s1);
  if (s1 != std::string::npos)
    request.path = line.substr(s1 + 1, s2 == std::string::npos ? s2 : s2 - s1 - 1);
  while (true) {
    if (!c.ReadLine(line, kReadTimeoutMs)) return;
    if (line.empty()) break;
    request.headers += line + "\r\n";
  }
  if (Lower(request.Header("Expect")) == "100-continue") c.Write("HTTP/1.1 100 Continue\r\n\r\n");
  const long length = std::strtol(request.Header("Content-Length").c_str(), nullptr, 10);
  if (length > 0 && !c.ReadExact(static_cast<size_t>(length), request.body, kReadTimeoutMs)) return;

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
