// A fake SMS gateway on loopback: an HTTP/1.1 server (or HTTPS with a test certificate,
// support/test_pki.h) that records each request's method, path, headers and body and answers with
// a fixed reply body (Textbelt-style JSON).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/http_request.h"
#include "support/loopback_server.h"

namespace korvelin::testing {

struct GatewayRequest {
  std::string method;
  std::string path;
  std::string headers;  // the header lines as received, each ending in CR LF
  std::string body;
  // The value of the first header of that name (letter case ignored), trimmed; "" if none.
  std::string Header(const std::string& name) const;
};

class FakeGateway {
 public:
  explicit FakeGateway(
      std::string replyBody = R"({"success":true,"textId":"1","quotaRemaining":2})", int port = 0,
      bool tls = false, TlsIdentity identity = TlsIdentity::kTrusted);
  ~FakeGateway();

  bool Ok() const { return server_->Ok(); }
  int Port() const { return server_->Port(); }
  // "http://127.0.0.1:<port>/text" ("https://" when serving TLS)
  std::string Endpoint() const;
  void SetReply(std::string replyBody);
  std::vector<GatewayRequest> Requests() const;
  // Called (on the connection's thread) for each request before it is answered.
  void SetOnRequest(std::function<void(const GatewayRequest&)> onRequest);

 private:
  void Serve(Connection& connection);

  const bool tls_;
  mutable std::mutex mutex_;
  std::string reply_;
  std::vector<GatewayRequest> requests_;
  std::function<void(const GatewayRequest&)> onRequest_;
  std::unique_ptr<LoopbackServer> server_;  // last: stopped first
};

// An application/x-www-form-urlencoded body as name -> decoded value.
std::map<std::string, std::string> ParseForm(const std::string& body);

}  // namespace korvelin::testing
