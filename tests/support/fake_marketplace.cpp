#include "support/fake_marketplace.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <utility>

namespace korvelin::testing {
namespace {

std::string Lower(std::string_view s) { return LowerAscii(s); }

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool StartsWith(std::string_view s, std::string_view head) {
  return s.substr(0, head.size()) == head;
}

std::string HostWithoutPort(std::string_view host) {
  std::size_t colon = host.rfind(':');
  return std::string(colon == std::string_view::npos ? host : host.substr(0, colon));
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

std::string ShortPage(int status) {
  return "<html><head><title>" + std::to_string(status) + "</title></head><body><h1>" +
         std::to_string(status) + " " + Reason(status) + "</h1></body></html>\n";
}

// A reviews page of a product that is not for sale: no price span at all.
std::string ReviewsPageWithoutPrice() {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Customer reviews</title>"
         "</head>\n<body>\n<div id=\"cm_cr-product_info\"><h1>Customer reviews</h1>\n"
         "<div class=\"a-row\"><span class=\"a-color-state\">Currently unavailable.</span>"
         "</div>\n</div>\n</body></html>\n";
}

}  // namespace

std::string_view PageMarkerForHost(std::string_view host) {
  std::string h = Lower(HostWithoutPort(host));
  if (EndsWith(h, ".co.jp")) return page_marker::kJapan;
  if (EndsWith(h, ".co.uk")) return page_marker::kUk;
  if (EndsWith(h, ".cn")) return page_marker::kChina;
  if (EndsWith(h, ".ca")) return page_marker::kCanada;
  if (EndsWith(h, ".com")) return page_marker::kUsa;
  return page_marker::kEuro;
}

std::string PricePage(std::string_view marker, std::string_view priceText) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Customer reviews</title>"
      "</head>\n<body>\n<div id=\"cm_cr-product_info\"><h1>Customer reviews</h1>\n"
      "<div class=\"a-row\"><span class=\"a-size-base\">4.5 out of 5 stars</span></div>\n"
      "<div class=\"a-row product-price-line\"><span class=\"price\"";
  page += marker;
  page += priceText;
  page +=
      "</span></div>\n</div>\n<div id=\"cm_cr-review_list\"><p>Great product, fast "
      "delivery.</p></div>\n</body></html>\n";
  return page;
}

FakeMarketplace::FakeMarketplace(int port, int tlsPort, TlsIdentity tlsIdentity) {
  plain_ = std::make_unique<LoopbackServer>([this](Connection& c) { Serve(c, false); }, port);
  secure_ = std::make_unique<LoopbackServer>([this](Connection& c) { Serve(c, true); }, tlsPort,
                                             tlsIdentity);
}

FakeMarketplace::~FakeMarketplace() {
  plain_.reset();
  secure_.reset();
}

bool FakeMarketplace::Ok() const { return plain_->Ok() && secure_->Ok(); }
int FakeMarketplace::Port() const { return plain_->Port(); }
int FakeMarketplace::TlsPort() const { return secure_->Port(); }
std::string FakeMarketplace::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(Port());
}
std::string FakeMarketplace::TlsBaseUrl() const {
  return "https://127.0.0.1:" + std::to_string(TlsPort());
}

void FakeMarketplace::SetPrice(const std::string& code, const std::string& priceText,
                               std::string_view marker) {
  std::lock_guard<std::mutex> lock(mutex_);
  prices_[code] = Price{priceText, std::string(marker), marker.empty()};
}

void FakeMarketplace::SetProductPage(const std::string& code, std::string page) {
  std::lock_guard<std::mutex> lock(mutex_);
  productPages_[code] = std::move(page);
}

bool FakeMarketplace::SetLogFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.reset();
  if (path.empty()) return true;
  auto log = std::make_unique<AppendLog>(path);
  if (!log->Ok()) return false;
  log_ = std::move(log);
  return true;
}

std::vector<RecordedRequest> FakeMarketplace::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void FakeMarketplace::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

void FakeMarketplace::Record(const RecordedRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(request);
  if (log_) log_->Write(request.requestLine + "\r\n" + request.headerBlock + "\r\n");
}

void FakeMarketplace::Serve(Connection& c, bool tls) {
  if (tls && !c.StartTls()) return;
  while (ServeOne(c, tls)) {
  }
}

bool FakeMarketplace::ServeOne(Connection& c, bool tls) {
  RecordedRequest request;
  request.tls = tls;
  if (!ReadHttpRequest(c, request)) return false;
  Record(request);

  const std::string method = request.Method();
  std::string path = request.Path();
  const bool head = method == "HEAD";
  const std::string host = request.Header("Host");
  bool keepAlive = Lower(request.Header("Connection")) != "close";

  // Set by /trickle/ and /cut/ below.
  long trickleMs = 0;
  long cutAfter = -1;
  auto reply = [&](int status, const std::string& extraHeaders, const std::string& body) {
    const std::string statusLine = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
                                   "\r\n" + "Content-Type: text/html; charset=utf-8\r\n";
    if (trickleMs > 0 && !head) {
      // The head at once, then the body a byte at a time and after it spaces, without end:
      // a line that never stalls and never finishes.
      if (!c.Write(statusLine + extraHeaders + "Connection: close\r\n\r\n")) return false;
      for (std::size_t i = 0; !c.Stopping(); ++i) {
        c.ReadSome(static_cast<int>(trickleMs));  // the gap; ends early when the peer goes
        if (c.PeerClosed() || !c.Write(i < body.size() ? body.substr(i, 1) : " ")) break;
      }
      return false;
    }
    std::string out = statusLine + "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                      extraHeaders + (keepAlive ? "" : "Connection: close\r\n") + "\r\n";
    if (cutAfter >= 0 && !head) {
      // The full length announced, the first bytes sent, then the connection closed.
      c.Write(out + body.substr(0, static_cast<std::size_t>(cutAfter)));
      c.Close();
      return false;
    }
    if (!head) out += body;
    return c.Write(out) && keepAlive;
  };

  // Modifiers in front of a path, any number of them:
  //   /slow/MS/REST     wait, then serve REST (the wait ends early when the client goes
  //                     away or the server stops);
  //   /trickle/MS/REST  serve REST's body one byte every MS ms, then spaces, without end;
  //   /cut/N/REST       announce REST's full length, send N bytes of its body and close.
  for (;;) {
    if (StartsWith(path, "/trickle/") || StartsWith(path, "/cut/")) {
      const bool trickle = StartsWith(path, "/trickle/");
      const std::size_t start = trickle ? 9 : 5;
      const std::size_t slash = path.find('/', start);
      const long value = std::strtol(path.c_str() + start, nullptr, 10);
      (trickle ? trickleMs : cutAfter) = value;
      path = slash == std::string::npos ? "/" : path.substr(slash);
      continue;
    }
    if (!StartsWith(path, "/slow/")) break;
    std::size_t slash = path.find('/', 6);
    long ms = std::strtol(path.c_str() + 6, nullptr, 10);
    path = slash == std::string::npos ? "/" : path.substr(slash);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      c.ReadSome(static_cast<int>(std::max<long long>(1, left.count())));
      if (c.PeerClosed() || c.Stopping()) return false;
    }
  }
  path = path.substr(0, path.find('?'));

  if (StartsWith(path, "/product-reviews/")) {
    const std::string code = path.substr(17);
    Price price;
    bool found = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = prices_.find(code);
      if (it != prices_.end()) {
        price = it->second;
        found = true;
      }
    }
    if (!found) {
      bool productPage = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        productPage = productPages_.count(code) != 0;
      }
      if (productPage) return reply(302, "Location: /ap/signin\r\n", ShortPage(302));
      return reply(200, "", ReviewsPageWithoutPrice());
    }
    std::string marker = price.markerByHost ? std::string(PageMarkerForHost(host)) : price.marker;
    return reply(200, "", PricePage(marker, price.text));
  }
  if (StartsWith(path, "/dp/")) {
    std::string page;
    bool found = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = productPages_.find(path.substr(4));
      if (it != productPages_.end()) {
        page = it->second;
        found = true;
      }
    }
    // A session cookie, as the marketplaces set on a first visit.
    if (found) return reply(200, "Set-Cookie: session-id=" + path.substr(4) + "; Path=/\r\n", page);
  }
  if (path == "/ap/signin") {
    return reply(
        200, "",
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Amazon Sign-In</title>"
        "</head><body><form name=\"signIn\" action=\"/ap/signin\"><input name=\"email\">"
        "</form></body></html>\n");
  }
  if (path == "/no-marker") {
    return reply(200, "",
                 "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Sign in</title>"
                 "</head><body><form action=\"/signin\"><input name=\"email\"></form></body>"
                 "</html>\n");
  }
  if (StartsWith(path, "/redirect-https/")) {
    return reply(302,
                 "Location: https://" + HostWithoutPort(host) + ":" +
                     std::to_string(secure_->Port()) + "/" + path.substr(16) + "\r\n",
                 ShortPage(302));
  }
  if (StartsWith(path, "/redirect/")) {
    return reply(302, "Location: /" + path.substr(10) + "\r\n", ShortPage(302));
  }
  if (path == "/reset") {
    c.Reset();
    return false;
  }
  if (path == "/endless") {
    if (!c.Write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n") || head)
      return false;
    const std::string chunk(65536, 'x');
    while (c.Write(chunk)) {
    }
    return false;
  }
  if (StartsWith(path, "/bytes/")) {
    return reply(200, "", std::string(std::strtoul(path.c_str() + 7, nullptr, 10), 'x'));
  }
  if (path == "/set-cookie") {
    return reply(200,
                 "Set-Cookie: session=abc123; Path=/\r\n"
                 "set-cookie: lang=en; path=/\r\n"
                 "SET-COOKIE: theme=dark\r\n",
                 "cookies set\n");
  }
  if (path == "/delete-cookie") {
    return reply(200,
                 "Set-Cookie: session=deleted; expires=Thu, 01-Jan-1970 00:00:01 GMT; path=/\r\n",
                 "cookie deleted\n");
  }
  if (path == "/echo") return reply(200, "", request.body);
  if (StartsWith(path, "/long-headers/")) {
    const std::size_t size = std::strtoul(path.c_str() + 14, nullptr, 10);
    return reply(200, "X-Filler: " + std::string(size, 'f') + "\r\nSet-Cookie: late=1; path=/\r\n",
                 "long head\n");
  }
  if (StartsWith(path, "/status/")) {
    int status = std::atoi(path.c_str() + 8);
    return reply(status, "", ShortPage(status));
  }
  return reply(404, "", ShortPage(404));
}

}  // namespace korvelin::testing
