// The program's HTTP requests, on libcurl. Neither routine reports an error: every failure
// ends in an empty body.
#pragma once

#include <string>

namespace korvelin {

// curl_global_init, once, before any thread fetches (the app calls it in main; the
// routines call it too, guarded, so tests need not).
void InitHttp();

struct SplitAddress {
  std::string host;  // lower case, without a port suffix
  int port = 80;
  std::string path;  // "/" when there is none
};
SplitAddress SplitUrl(const std::string& address);

// Completes the caller's header lines with the defaults; `withUserAgent` for the
// request-object routine only.
std::string CompleteRequestHeaders(std::string headers, const std::string& address,
                                   bool withUserAgent);
std::string ExtractReplyCookies(const std::string& replyHeaders);
// Updates `sent` (and `reply`, spaces removed) as the merge rule says.
void MergeCookies(std::string& sent, std::string& reply);

// A GET bounded by a time-out: -1 libcurl's defaults, >= 1 that many seconds, anything
// else 15 s; for the connect and for every wait on the server (no byte going out or
// coming in for that long), not for the whole transfer. Returns the body bytes.
std::string FetchViaRequestObject(const std::string& address, int timeoutSeconds);

// method: 0 GET, 1 POST, 2 HEAD, other 0. `cookies` may be null (then a shared automatic
// cookie store is used); when given it is sent and then merged with the reply's cookies.
// `headers` is completed in place. Reply headers and cookies are written when non-null.
// `totalTimeoutMs` > 0 bounds the whole transfer (the price check's remaining time).
std::string FetchViaInternetApi(const std::string& address, int method = 0,
                                const std::string& body = {}, std::string* cookies = nullptr,
                                std::string* headers = nullptr, std::string* replyHeaders = nullptr,
                                std::string* replyCookies = nullptr, long totalTimeoutMs = 0);

}  // namespace korvelin
