// The program's HTTP requests, on libcurl. FetchViaRequestObject and FetchViaInternetApi
// report no error: every failure ends in an empty body. Their result forms keep the cause
// (libcurl's code, the HTTP status, the final address) for callers that must say why.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace korvelin {

// The request method; any other value is taken as Get.
enum class HttpMethod { Get = 0, Post = 1, Head = 2 };

// One request's outcome.
struct FetchResult {
  // The reply body as far as it arrived (a reply cut short keeps its bytes); empty when
  // none came or when it passed the size limit.
  std::string body;
  std::string replyHeaders;  // the final reply's head as far as it arrived; empty as the body
  int curlCode = 0;          // libcurl's CURLcode; 0 when the transfer completed
  bool tooLarge = false;     // the body passed the size limit (libcurl then reports a write error)
  long httpStatus = 0;       // the final reply's status; 0 when no reply came
  std::string finalAddress;  // the address of the last request, after redirects
  bool Ok() const { return curlCode == 0 && !tooLarge; }
};

// curl_global_init, once, before any thread fetches (the app calls it in main; the
// routines call it too, guarded, so tests need not).
void InitHttp();

// The deadline of a whole transfer that has no time-out of its own (FetchViaInternetApi,
// and the request object with the client's defaults).
inline constexpr std::chrono::milliseconds kWholeTransferDeadline{120000};

// The address as it goes on the wire: every byte an address cannot hold (below 0x21, DEL,
// 0x80 and above) as %XX, the rest as it is.
std::string SendableAddress(std::string_view address);

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

// A GET bounded by a time-out T: -1 libcurl's defaults (and kWholeTransferDeadline), >= 1
// that many seconds, anything else 15 s. Each phase has its own T: name resolution and
// connect 2 x T together, then, from the moment the request goes out, T for every wait on
// the server (no byte going out or coming in for that long); the whole transfer at most
// 4 x T. Certificate errors are accepted. Returns the body bytes.
std::string FetchViaRequestObject(const std::string& address, int timeoutSeconds);
FetchResult FetchViaRequestObjectResult(const std::string& address, int timeoutSeconds);

// `cookies` may be null (then a shared automatic cookie store is used); when given it is
// sent and then merged with the reply's cookies. `headers` is completed in place. Reply
// headers and cookies are written when non-null (as far as the reply arrived). The whole
// transfer ends after kWholeTransferDeadline; the certificate is verified.
std::string FetchViaInternetApi(const std::string& address, HttpMethod method = HttpMethod::Get,
                                const std::string& body = {}, std::string* cookies = nullptr,
                                std::string* headers = nullptr, std::string* replyHeaders = nullptr,
                                std::string* replyCookies = nullptr);
// The result form; `replyCookies` receives the reply's cookies when non-null. The whole
// transfer ends after `totalTimeoutMs` when it is above 0 (the price check's remaining time,
// the SMS gateway's deadline), else after kWholeTransferDeadline. The server's certificate
// and host name are verified against the system's CA store.
FetchResult FetchViaInternetApiResult(const std::string& address,
                                      HttpMethod method = HttpMethod::Get,
                                      const std::string& body = {}, std::string* cookies = nullptr,
                                      std::string* headers = nullptr,
                                      std::string* replyCookies = nullptr,
                                      long totalTimeoutMs = 0);

}  // namespace korvelin
