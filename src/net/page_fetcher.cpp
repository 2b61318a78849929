// The program's two HTTP request routines on libcurl.
//
// FetchViaRequestObject stands for the request object of the first platform: a GET bounded
// by a time-out, certificate errors accepted, redirects followed, no caller headers, and a
// cookie store of its own that lives for the one request (cookies set during a redirect
// chain are sent on within it, none are kept afterwards).
//
// FetchViaInternetApi stands for the internet API: any method, the caller's headers, body
// and cookies, the reply headers and cookies handed back, and, when the caller gives no
// cookies, one automatic cookie store shared by the whole process.
//
// What goes on the wire. The request head is the request line, "Host" (as libcurl writes
// it: the port only when it is not the scheme's default), then:
//   - FetchViaRequestObject: the completed header lines, in order, nothing else;
//   - FetchViaInternetApi: "User-Agent: " + the agent (the internet API sends the agent it
//     was opened with as User-Agent), then the completed header lines in order, then, for a
//     POST, "Content-Length". When the caller's lines hold a User-Agent line themselves,
//     that line is the only User-Agent sent, in its own place. When the automatic cookie
//     store has cookies for the host, its "Cookie" line stands before the header lines.
// libcurl's own Accept and Expect headers are switched off. Neither routine asks for a
// cache bypass with extra headers: libcurl keeps no HTTP cache, so every request goes to
// the network anyway, which is all the platform's "reload" flag asked for.
//
// Limits: a reply body of more than 16 MiB fails the request (empty body). A reply cut
// short (the connection reset or closed early, a time-out) keeps the bytes that arrived.
// Reply headers of any size are handed back whole. Every transfer has a deadline for the
// whole of it, so a server that trickles a byte now and then cannot hold a worker for
// good: 4 x T for the request object with a time-out T (its four phases), 120 s otherwise.
// FetchViaInternetApi, which has no time-out setting, also gives up on a connection that
// does not open in 60 s or on a reply that stays silent for 60 s.
//
// Addresses: the bytes an address cannot hold (controls, the space, DEL and every byte of
// 0x80 and above) are sent percent-encoded, the rest as given, so a product code with a
// space still makes a request.
#include "net/page_fetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include "common/numbers.h"
#include "common/text.h"
#include "common/utilities.h"
#include "net/curl_request.h"

namespace korvelin {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr std::size_t kMaxBodyBytes = 16u * 1024u * 1024u;
constexpr long kDefaultTimeoutMs = 15000;
constexpr long kLargestTimeoutSeconds = 2147483;  // seconds x 1000 stays a 32-bit int
constexpr long kStallSeconds = 60;
constexpr long kPhasesPerTransfer = 4;
constexpr long kMaxRedirects = 10;

// The automatic cookie store of FetchViaInternetApi: one libcurl share for the process,
// never freed (check threads are detached and may still fetch while the process ends).
struct CookieShare {
  CURLSH* share = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
};
CookieShare* g_cookieShare = nullptr;

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<CookieShare*>(user)->locks[data].lock();
}
void UnlockShare(CURL*, curl_lock_data data, void* user) {
  static_cast<CookieShare*>(user)->locks[data].unlock();
}

// What one transfer collects.
struct Transfer {
  std::string body;
  std::string headers;
  bool tooLarge = false;
  // Set once a connection is ready and the request is about to go out (see OnRequestReady);
  // until then the connect time-out bounds the transfer, afterwards the stall limit.
  bool connected = false;
  // When the current phase began: the request going out, or a byte last going out or
  // coming in (see OnProgress).
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
  curl_off_t uploaded = 0;
};

// libcurl's pre-request callback: a connection (after a redirect, a new one) is ready and
// the request goes out now. The send and receive phases are counted from here, so the time
// the connect took is not taken from them.
int OnRequestReady(void* user, char*, char*, int, int) {
  auto* transfer = static_cast<Transfer*>(user);
  transfer->connected = true;
  transfer->lastActivity = std::chrono::steady_clock::now();
  return CURL_PREREQFUNC_OK;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  transfer->lastActivity = std::chrono::steady_clock::now();
  if (transfer->body.size() + bytes > kMaxBodyBytes) {
    transfer->tooLarge = true;
    return 0;  // ends the transfer with a write error
  }
  transfer->body.append(data, bytes);
  return bytes;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  transfer->lastActivity = std::chrono::steady_clock::now();
  std::string_view line(data, bytes);
  // A new status line starts the head of a new reply (after a redirect or an interim
  // reply): only the final reply's head is handed back.
  if (line.substr(0, 5) == "HTTP/") transfer->headers.clear();
  transfer->headers.append(line);
  return bytes;
}

// The send and receive time-outs of the request object: once the request goes out, the
// transfer ends when no byte has gone out or come in for the limit (the first byte of the
// reply included). libcurl calls this at least once a second while the transfer waits; a
// slow line that keeps delivering is bounded by the whole-transfer deadline instead.
struct StallLimit {
  Transfer* transfer;
  std::chrono::milliseconds limit;
};

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploadedNow) {
  auto* stall = static_cast<StallLimit*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (!stall->transfer->connected) return 0;  // still connecting: the connect time-out holds
  if (uploadedNow != stall->transfer->uploaded) {
    stall->transfer->uploaded = uploadedNow;
    stall->transfer->lastActivity = now;
  }
  return now - stall->transfer->lastActivity > stall->limit ? 1 : 0;  // 1 aborts
}

// Settings both routines share.
void SetCommonOptions(CURL* easy, Transfer& transfer) {
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");  // direct access, never a proxy
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, OnRequestReady);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
}

// The deadline for the whole transfer, redirects included.
void SetDeadline(CURL* easy, std::chrono::milliseconds deadline) {
  const long ms = deadline.count() < 1          ? 1L
                  : deadline.count() > LONG_MAX ? LONG_MAX
                                                : static_cast<long>(deadline.count());
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, ms);
}

// The header lines of the text, in order, empty lines left out.
std::vector<std::string> HeaderLines(const std::string& headers) {
  std::vector<std::string> lines;
  for (std::string& line : SplitText(headers, "\r\n"))
    if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// Runs the transfer and collects its outcome. What arrived is kept, whatever ended the
// transfer, except a body over the size limit, which is dropped whole.
FetchResult Perform(CURL* easy, Transfer& transfer) {
  FetchResult result;
  result.curlCode = static_cast<int>(curl_easy_perform(easy));
  result.tooLarge = transfer.tooLarge;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.httpStatus);
  const char* last = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &last) == CURLE_OK && last != nullptr)
    result.finalAddress = last;
  if (!result.tooLarge) {
    result.body = std::move(transfer.body);
    result.replyHeaders = std::move(transfer.headers);
  }
  return result;
}

}  // namespace

void InitHttp() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_ALL);
    auto* shared = new CookieShare();  // lives until the process ends
    shared->share = curl_share_init();
    if (shared->share != nullptr) {
      curl_share_setopt(shared->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
      curl_share_setopt(shared->share, CURLSHOPT_LOCKFUNC, LockShare);
      curl_share_setopt(shared->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
      curl_share_setopt(shared->share, CURLSHOPT_USERDATA, shared);
    }
    g_cookieShare = shared;
  });
}

std::string SendableAddress(std::string_view address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string sendable;
  sendable.reserve(address.size());
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      sendable += '%';
      sendable += kHex[byte >> 4];
      sendable += kHex[byte & 0x0F];
    } else {
      sendable += c;
    }
  }
  return sendable;
}

SplitAddress SplitUrl(const std::string& address) {
  SplitAddress result;
  const bool secure = LowerCaseText(LeftText(address, 5)) == "https";
  const std::string lower = LowerCaseText(address);
  // Where the host begins: after "https://" or "http://"; an address without either is
  // read as if it began with "http://".
  int hostStart = 1;
  if (lower.rfind("https://", 0) == 0) {
    hostStart = 9;
  } else if (lower.rfind("http://", 0) == 0) {
    hostStart = 8;
  }
  std::string withSlash = address;
  if (RightText(withSlash, 1) != "/") withSlash += "/";
  const int slash = FindText(withSlash, "/", hostStart);
  std::string hostText = MidText(withSlash, hostStart, slash - hostStart);

  result.port = secure ? 443 : 80;
  const int colon = FindTextBackward(hostText, ":");
  if (colon != -1) {
    const std::string digits = hostText.substr(static_cast<std::size_t>(colon));
    const bool allDigits =
        !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (allDigits) {
      result.port = TextToInt(digits);
      hostText = LeftText(hostText, colon - 1);
    }
  }
  result.host = LowerCaseText(hostText);

  const int pathStart = FindText(address, "/", hostStart);
  result.path = pathStart == -1 ? "/" : address.substr(static_cast<std::size_t>(pathStart - 1));
  return result;
}

std::string CompleteRequestHeaders(std::string headers, const std::string& address,
                                   bool withUserAgent) {
  if (headers.empty()) {
    headers = "Accept: */*";
  } else if (FindText(headers, "Accept:") == -1) {
    headers += "\r\nAccept: */*";
  }
  if (FindText(headers, "Referer:") == -1) headers += "\r\nReferer: " + address;
  if (FindText(headers, "Accept-Language:") == -1) headers += "\r\nAccept-Language: zh-cn";
  if (withUserAgent && FindText(headers, "User-Agent:") == -1)
    headers += std::string("\r\nUser-Agent: ") + kUserAgent;
  if (FindText(headers, "Content-Type:") == -1)
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  return headers;
}

std::string ExtractReplyCookies(const std::string& replyHeaders) {
  std::string cookies;
  for (const std::string& line : SplitText(replyHeaders, "\r\n")) {
    if (FindText(line, "Set-Cookie") == -1) continue;
    if (FindText(line, ";") == -1) {
      cookies += TrimSpaces(ReplaceText(line, "Set-Cookie:", "", std::nullopt, std::nullopt,
                                        /*caseSensitive=*/false));
    } else {
      cookies += TrimSpaces(TextBetween(line, "Set-Cookie:", ";"));
    }
    cookies += "; ";
  }
  return LeftText(cookies, static_cast<int>(cookies.size()) - 2);
}

void MergeCookies(std::string& sent, std::string& reply) {
  sent = RemoveSpaces(sent);
  reply = RemoveSpaces(reply);
  auto nameOf = [](const std::string& item) {
    const int equals = FindText(item, "=");
    return TrimSpaces(equals == -1 ? item : LeftText(item, equals - 1));
  };
  std::vector<std::string> merged = SplitText(reply, ";");
  for (const std::string& old : SplitText(sent, ";")) {
    const std::string name = nameOf(old);
    bool present = false;
    for (const std::string& item : merged) {
      if (nameOf(item) == name) {
        present = true;
        break;
      }
    }
    if (!present) merged.push_back(old);
  }
  std::string joined;
  for (const std::string& item : merged) {
    if (RightText(item, 8) != "=deleted") joined += item + "; ";
  }
  joined = LeftText(joined, static_cast<int>(joined.size()) - 2);

  std::vector<std::string> distinct;
  std::unordered_set<std::string> seen;
  for (std::string& item : SplitText(joined, "; ")) {
    if (seen.insert(item).second) distinct.push_back(std::move(item));
  }
  sent.clear();
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    if (i > 0) sent += "; ";
    sent += distinct[i];
  }
}

std::string FetchViaRequestObject(const std::string& address, int timeoutSeconds) {
  return FetchViaRequestObjectResult(address, timeoutSeconds).body;
}

FetchResult FetchViaRequestObjectResult(const std::string& address, int timeoutSeconds) {
  InitHttp();
  CurlRequest easy;
  if (!easy) {
    FetchResult failed;
    failed.curlCode = static_cast<int>(CURLE_FAILED_INIT);
    return failed;
  }
  const std::string sendable = SendableAddress(address);
  Transfer transfer;
  SetCommonOptions(easy.get(), transfer);
  curl_easy_setopt(easy.get(), CURLOPT_URL, sendable.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L);
  // The request object accepts an untrusted authority, a wrong host name and an outdated
  // certificate.
  curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYHOST, 0L);
  // A store for this request alone: cookies set along a redirect chain go with it.
  curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");

  StallLimit stall{&transfer, std::chrono::milliseconds(kDefaultTimeoutMs)};
  if (timeoutSeconds == -1) {
    // The client's own defaults, plus the stall guard every request has.
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT, kStallSeconds);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    SetDeadline(easy.get(), kWholeTransferDeadline);
  } else {
    long ms = kDefaultTimeoutMs;
    if (timeoutSeconds >= 1) {
      ms = std::min<long>(timeoutSeconds, kLargestTimeoutSeconds) * 1000L;
    }
    // The four phases, each with its own T: name resolution and connect (TLS handshake
    // included) share one clock of 2 x T; from the moment the request goes out, T for the
    // send and T for every wait on the reply. The whole transfer ends after 4 x T.
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, 2 * ms);
    SetDeadline(easy.get(), std::chrono::milliseconds(kPhasesPerTransfer * ms));
    stall.limit = std::chrono::milliseconds(ms);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, &stall);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
  }

  // Each line goes as "name: value", both trimmed, in order; a line with an empty value
  // sets nothing.
  std::vector<std::string> lines;
  for (const std::string& line :
       HeaderLines(CompleteRequestHeaders({}, sendable, /*withUserAgent=*/true))) {
    const int colon = FindText(line, ":");
    if (colon == -1) continue;
    const std::string name = TrimSpaces(LeftText(line, colon - 1));
    const std::string value = TrimSpaces(line.substr(static_cast<std::size_t>(colon)));
    if (name.empty() || value.empty()) continue;
    lines.push_back(name + ": " + value);
  }
  lines.push_back("Accept:");  // never libcurl's own Accept (the lines above carry ours)
  lines.push_back("Expect:");
  curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, easy.AddList(lines));

  return Perform(easy.get(), transfer);
}

std::string FetchViaInternetApi(const std::string& address, HttpMethod method,
                                const std::string& body, std::string* cookies, std::string* headers,
                                std::string* replyHeaders, std::string* replyCookies) {
  FetchResult result = FetchViaInternetApiResult(address, method, body, cookies, headers,
                                                 replyCookies);
  if (replyHeaders != nullptr) *replyHeaders = std::move(result.replyHeaders);
  return std::move(result.body);
}

FetchResult FetchViaInternetApiResult(const std::string& givenAddress, HttpMethod method,
                                      const std::string& body, std::string* cookies,
                                      std::string* headers, std::string* replyCookies,
                                      long totalTimeoutMs) {
  InitHttp();
  const std::string address = SendableAddress(givenAddress);
  std::string headerText = headers != nullptr ? *headers : std::string();

  // The agent: the caller's User-Agent line when it has one, else the fixed agent.
  std::string agent = kUserAgent;
  if (FindText(headerText, "User-Agent:", std::nullopt, /*ignoreCase=*/true) != -1) {
    agent = TrimSpaces(TextBetween(headerText, "User-Agent:", "\r\n"));
    if (agent.empty()) {
      const int colon = FindText(headerText, ":");
      agent = TrimSpaces(headerText.substr(static_cast<std::size_t>(colon)));
    }
    // The agent is one header value: it never runs into the next line.
    agent = TrimSpaces(agent.substr(0, agent.find_first_of("\r\n")));
  }

  headerText = CompleteRequestHeaders(std::move(headerText), address, /*withUserAgent=*/false);
  if (headers != nullptr) *headers = headerText;
  std::string sentHeaders = headerText;
  if (cookies != nullptr && !cookies->empty()) sentHeaders += "\r\nCookie: " + *cookies;

  const SplitAddress split = SplitUrl(address);
  const bool secure = LowerCaseText(LeftText(address, 5)) == "https";
  const std::string url = std::string(secure ? "https://" : "http://") + split.host + ":" +
                          std::to_string(split.port) + split.path;

  CurlRequest easy;
  Transfer transfer;
  FetchResult result;
  result.curlCode = static_cast<int>(CURLE_FAILED_INIT);
  if (easy) {
    SetCommonOptions(easy.get(), transfer);
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT, kStallSeconds);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    SetDeadline(easy.get(), totalTimeoutMs > 0 ? std::chrono::milliseconds(totalTimeoutMs)
                                               : kWholeTransferDeadline);
    // The certificate is verified against the system's CA store, the host name too
    // (libcurl's defaults, stated here so that no change elsewhere can loosen them).
    curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYHOST, 2L);
    if (cookies == nullptr && g_cookieShare->share != nullptr) {
      curl_easy_setopt(easy.get(), CURLOPT_SHARE, g_cookieShare->share);
      curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
    }
    switch (method) {
      case HttpMethod::Post:
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(easy.get(), CURLOPT_COPYPOSTFIELDS, body.c_str());
        break;
      case HttpMethod::Head:
        curl_easy_setopt(easy.get(), CURLOPT_NOBODY, 1L);
        break;
      default:
        curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L);
        break;
    }
    // The lines go as the caller wrote them; a line with an empty value sets nothing.
    std::vector<std::string> lines = HeaderLines(sentHeaders);
    lines.push_back("Accept:");
    lines.push_back("Expect:");
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, easy.AddList(lines));
    result = Perform(easy.get(), transfer);
  }

  result.replyHeaders = ReplaceText(result.replyHeaders, "Set-Cookie", "Set-Cookie", std::nullopt,
                                    std::nullopt, /*caseSensitive=*/false);
  std::string extracted = ExtractReplyCookies(result.replyHeaders);
  if (cookies != nullptr) MergeCookies(*cookies, extracted);
  if (replyCookies != nullptr) *replyCookies = std::move(extracted);
  return result;
}

}  // namespace korvelin
