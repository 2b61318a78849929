#include "net/smtp_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>

#include "common/base64.h"
#include "net/curl_request.h"
#include "net/page_fetcher.h"

namespace korvelin {

namespace {

constexpr const char* kNoHandle = "no SMTP handle";

// Header values may not carry line breaks of their own: CR and LF are dropped, so a value
// can never start a header or an SMTP command (nor, decoded, a subject line) of its own.
std::string HeaderValue(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

std::string DateHeader() {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const long offset = local.tm_gmtoff / 60;
  const long absOffset = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday],
                local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour,
                local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
  return text;
}

std::string MessageId(std::string_view from) {
  static std::atomic<unsigned> counter{0};
  static const unsigned long long salt = std::random_device{}();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const size_t at = from.rfind('@');
  std::string domain =
      at == std::string_view::npos ? std::string() : HeaderValue(from.substr(at + 1));
  if (domain.empty()) domain = "korvelin.localdomain";
  char text[96];
  std::snprintf(text, sizeof text, "%llx.%x.%llx", static_cast<unsigned long long>(micros),
                counter.fetch_add(1), salt);
  return "<" + std::string(text) + "@" + domain + ">";
}

struct Upload {
  const std::string* data;
  size_t offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<Upload*>(user);
  const size_t room = size * count;
  const size_t left = upload->data->size() - upload->offset;
  const size_t n = left < room ? left : room;
  upload->data->copy(buffer, n, upload->offset);
  upload->offset += n;
  return n;
}

size_t DiscardReply(char*, size_t size, size_t count, void*) { return size * count; }

// Sets *user when the server answers 235 (authentication succeeded). libcurl hands every
// reply line to this callback as incoming header data.
int NoteAuthenticated(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  if (type == CURLINFO_HEADER_IN && size >= 4 && std::string_view(data, 3) == "235" &&
      (data[3] == ' ' || data[3] == '-')) {
    *static_cast<bool*>(user) = true;
  }
  return 0;
}

// An easy handle set up for one session with the server and the login.
CurlRequest OpenSession(const SmtpEndpoint& endpoint, const SmtpLogin& login) {
  InitHttp();
  CurlRequest curl;
  if (!curl) return curl;
  const std::string url = std::string(endpoint.implicitTls ? "smtps://" : "smtp://") +
                          endpoint.host + ":" + std::to_string(endpoint.port);
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_USERNAME, login.user.c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, login.password.c_str());
  // libcurl waits for the reply to the closing QUIT outside the transfer's time-out (two
  // minutes by default), also after a transfer that timed out. So the session's time is
  // split: a quarter (at least a second, in whole seconds) for any single reply, the QUIT's
  // included, the rest for the transfer; together they stay within the session time-out.
  const long replySeconds = std::max(1L, endpoint.totalTimeoutMs / 4000);
  const long transferMs = std::max(1L, endpoint.totalTimeoutMs - replySeconds * 1000);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, std::min(endpoint.connectTimeoutMs, transferMs));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, transferMs);
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, replySeconds);
  // TLS or nothing: STARTTLS must succeed before the login (a server that does not offer
  // it ends the session before AUTH), and the certificate and host name must verify
  // against the system's CA store.
  curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // One session per mail: QUIT and close as soon as the transfer is done.
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, DiscardReply);
  return curl;
}

// A failed session's result: the code, its text and whether a connection was made.
SmtpResult SessionFailed(CURL* h, CURLcode code) {
  curl_off_t connectMicros = 0;
  curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectMicros);
  return SmtpResult::Failed(code, curl_easy_strerror(code), connectMicros > 0);
}

}  // namespace

SmtpFailure SmtpResult::Failure() const {
  if (Ok()) return SmtpFailure::kNone;
  if (!connected) return SmtpFailure::kUnreachable;
  switch (curlCode) {
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
      return SmtpFailure::kNoTls;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return SmtpFailure::kBadCertificate;
    default:
      return SmtpFailure::kOther;
  }
}

std::string EncodedSubject(std::string_view subject) {
  // "=?GBK?B?" + base64 + "?=": 42 bytes of text make 56 base64 characters, a word of 66.
  constexpr std::size_t kWordBytes = 42;
  if (subject.empty()) return {};
  std::string out;
  std::size_t start = 0;
  while (start < subject.size()) {
    std::size_t end = start;
    while (end < subject.size()) {
      const auto byte = static_cast<unsigned char>(subject[end]);
      const std::size_t width = byte >= 0x81 && byte <= 0xFE ? 2 : 1;
      const std::size_t next = std::min(end + width, subject.size());
      if (next - start > kWordBytes) break;
      end = next;
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?GBK?B?" + Base64Encode(subject.substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

std::string ComposeMail(const std::string& from, const std::string& to, const std::string& subject,
                        const std::string& body) {
  std::string mail;
  mail += "Date: " + DateHeader() + "\r\n";
  mail += "From: <" + HeaderValue(from) + ">\r\n";
  mail += "To: <" + HeaderValue(to) + ">\r\n";
  mail += "Subject: " + EncodedSubject(HeaderValue(subject)) + "\r\n";
  mail += "Message-ID: " + MessageId(from) + "\r\n";
  mail += "MIME-Version: 1.0\r\n";
  mail += "Content-Type: text/plain; charset=GBK\r\n";
  mail += "Content-Transfer-Encoding: base64\r\n";
  mail += "\r\n";
  const std::string encoded = Base64Encode(body);
  for (size_t i = 0; i < encoded.size(); i += 76) mail += encoded.substr(i, 76) + "\r\n";
  return mail;
}

bool VerifySmtpLogin(const SmtpEndpoint& endpoint, const SmtpLogin& login) {
  return CheckSmtpLogin(endpoint, login).Ok();
}

SmtpResult CheckSmtpLogin(const SmtpEndpoint& endpoint, const SmtpLogin& login) {
  CurlRequest curl = OpenSession(endpoint, login);
  if (!curl) return SmtpResult::Failed(CURLE_FAILED_INIT, kNoHandle);
  // With neither sender nor recipients, libcurl logs in and sends this one command.
  curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, "NOOP");
  // libcurl skips the login silently when the server offers no AUTH; only a login the
  // server accepted counts.
  bool authenticated = false;
  curl_easy_setopt(curl.get(), CURLOPT_DEBUGFUNCTION, NoteAuthenticated);
  curl_easy_setopt(curl.get(), CURLOPT_DEBUGDATA, &authenticated);
  curl_easy_setopt(curl.get(), CURLOPT_VERBOSE, 1L);
  const CURLcode code = curl_easy_perform(curl.get());
  if (code != CURLE_OK) return SessionFailed(curl.get(), code);
  if (!authenticated) return SmtpResult::Failed(CURLE_OK, "no login accepted");
  return {};
}

std::string SendSmtpMail(const SmtpEndpoint& endpoint, const SmtpLogin& login,
                         const std::string& from, const std::string& to,
                         const std::string& message) {
  return SendSmtpMailResult(endpoint, login, from, to, message).error;
}

SmtpResult SendSmtpMailResult(const SmtpEndpoint& endpoint, const SmtpLogin& login,
                              const std::string& from, const std::string& to,
                              const std::string& message) {
  if (to.empty()) return SmtpResult::Failed(CURLE_OK, "no recipient");
  // Declared before the handle so that they outlive it.
  const std::string mailFrom = "<" + HeaderValue(from) + ">";
  Upload upload{&message};
  CurlRequest curl = OpenSession(endpoint, login);
  if (!curl) return SmtpResult::Failed(CURLE_FAILED_INIT, kNoHandle);
  curl_slist* recipients = curl.AddList({"<" + HeaderValue(to) + ">"});
  if (recipients == nullptr) return SmtpResult::Failed(CURLE_OUT_OF_MEMORY, "out of memory");
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, mailFrom.c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(h, CURLOPT_READDATA, &upload);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  const CURLcode code = curl_easy_perform(h);
  if (code != CURLE_OK) return SessionFailed(h, code);
  return {};
}

}  // namespace korvelin
