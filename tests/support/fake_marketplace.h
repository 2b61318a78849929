// A fake Amazon marketplace: a real HTTP/1.1 server on 127.0.0.1 (plain port and TLS port)
// that records every request and serves reviews pages with a price, plus a set of pages
// that misbehave in the ways a real site or network can.
//
// Paths (the same on the plain and on the TLS port):
//   /product-reviews/CODE   the reviews page of CODE: <span class="price">MARKER PRICE</span>
//                           with the price and page marker given by SetPrice; a code
//                           without a price gets a page without any price span
//   /no-marker              a page of another kind (no price span)
//   /redirect-https/REST    302 to https://HOST:TLSPORT/REST (HOST from the Host header)
//   /redirect/REST          302 to /REST on the same port
//   /slow/MS/REST           waits MS milliseconds before answering as for /REST
//   /trickle/MS/REST        the head of /REST at once, then its body one byte every MS
//                           milliseconds and after it spaces, without end (no length)
//   /cut/N/REST             /REST's head with its full length, N bytes of its body, close
//   /reset                  reads the request, then resets the connection (RST)
//   /endless                200 with a body that never ends (until the client goes away)
//   /bytes/N                200 with a body of N bytes ("x")
//   /set-cookie             200 with three Set-Cookie lines in different letter cases
//   /delete-cookie          200 with "Set-Cookie: a=deleted; ..." (an expired cookie)
//   /echo                   200 with the request body as reply body
//   /long-headers/N         200 with an "X-Filler" header of N bytes, then a Set-Cookie line
//   /status/N               status N with a short page as body
//   /dp/CODE                the product page set by SetProductPage (404 without one); for
//                           such a CODE without a price, /product-reviews/CODE answers 302
//                           to /ap/signin, as the marketplaces do for anonymous visitors
//   /ap/signin              a sign-in page (no price)
//   anything else           404 with a short page as body
// A HEAD request gets the reply head alone.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "support/fake_program.h"
#include "support/http_request.h"
#include "support/loopback_server.h"

namespace korvelin::testing {

// Page-side bytes that stand between class="price" and the price digits. The page is
// UTF-8 except for Japan, whose yen sign is written as the Shift_JIS bytes 81 8F (invalid
// UTF-8: each byte decodes to one replacement character and so reads as "??").
namespace page_marker {
inline constexpr std::string_view kEuro = ">EUR ";            // de, fr, it, nl
inline constexpr std::string_view kJapan = ">\x81\x8F ";      // co.jp
inline constexpr std::string_view kUsa = ">$";                // com
inline constexpr std::string_view kCanada = ">CDN$ ";         // ca
inline constexpr std::string_view kUk = ">\xC2\xA3";          // co.uk, pound sign
inline constexpr std::string_view kChina = ">\xEF\xBF\xA5 ";  // cn, full-width yuan sign
}  // namespace page_marker

// The page marker of a marketplace host (a port suffix is ignored); the euro marker for
// hosts that are none of the nine.
std::string_view PageMarkerForHost(std::string_view host);

using RecordedRequest = HttpRequest;

class FakeMarketplace {
 public:
  // port / tlsPort 0: any free port. The TLS port serves the given test identity.
  explicit FakeMarketplace(int port = 0, int tlsPort = 0,
                           TlsIdentity tlsIdentity = TlsIdentity::kTrusted);
  ~FakeMarketplace();

  bool Ok() const;
  int Port() const;
  int TlsPort() const;
  // "http://127.0.0.1:PORT" and "https://127.0.0.1:TLSPORT".
  std::string BaseUrl() const;
  std::string TlsBaseUrl() const;

  // The price text shown on CODE's reviews page and the page marker in front of it; an
  // empty marker means "the marker of the Host header's marketplace".
  void SetPrice(const std::string& code, const std::string& priceText,
                std::string_view marker = {});
  // The bytes served at /dp/CODE (a saved product page, a captcha page, ...).
  void SetProductPage(const std::string& code, std::string page);
  // Every request, each head appended (request line and header lines, then an empty line)
  // to this file and flushed at once. Empty path: no log.
  bool SetLogFile(const std::string& path);

  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();

 private:
  struct Price {
    std::string text;
    std::string marker;
    bool markerByHost = false;
  };
  void Serve(Connection& c, bool tls);
  // One request on the connection; false when the connection is done.
  bool ServeOne(Connection& c, bool tls);
  void Record(const RecordedRequest& request);

  mutable std::mutex mutex_;
  std::map<std::string, Price> prices_;
  std::map<std::string, std::string> productPages_;
  std::vector<RecordedRequest> requests_;
  std::unique_ptr<AppendLog> log_;
  std::unique_ptr<LoopbackServer> plain_;
  std::unique_ptr<LoopbackServer> secure_;
};

// The HTML of a reviews page with the given marker and price (UTF-8, except the marker).
std::string PricePage(std::string_view marker, std::string_view priceText);

}  // namespace korvelin::testing
