// A small SMTP client on libcurl: checks a login and sends one plain-text mail, each in an
// SMTP session of its own (greeting, EHLO, STARTTLS, AUTH, ..., QUIT). The session always
// runs over TLS (STARTTLS, or TLS from the start), with the server's certificate and host
// name verified against the system's CA store; without that no AUTH is ever sent.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace korvelin {

struct SmtpEndpoint {
  std::string host;
  int port = 25;
  long connectTimeoutMs = 3000;  // TCP connect, greeting, STARTTLS and login
  long totalTimeoutMs = 30000;   // the whole session, so a stalled server cannot hold a thread
  bool implicitTls = false;      // TLS from the first byte (port 465); else STARTTLS
};

struct SmtpLogin {
  std::string user;
  std::string password;
};

// A mail ready for the wire: header block, blank line, body (CR LF line ends).
// Subject and body are code page 936 texts; the mail declares GBK (the name of code page
// 936), the subject as RFC 2047 encoded words and the body in base64.
std::string ComposeMail(const std::string& from, const std::string& to, const std::string& subject,
                        const std::string& body);

// Why a session failed, as far as the caller must tell it apart.
enum class SmtpFailure {
  kNone,
  kUnreachable,     // no connection to the server's port (refused, or no answer in time)
  kNoTls,           // the server does not offer STARTTLS (or TLS on its TLS port)
  kBadCertificate,  // the certificate does not verify: unknown authority, other host, expired
  kOther,           // anything else: login refused, a stalled server, a mail refused
};

// One session's outcome: why it failed, or nothing.
struct SmtpResult {
  int curlCode = 0;       // libcurl's CURLcode; 0 when the transfer itself completed
  std::string error;      // empty on success, otherwise an error description
  bool connected = true;  // a connection to the server was made
  bool Ok() const { return error.empty(); }
  SmtpFailure Failure() const;
  static SmtpResult Failed(int code, std::string text, bool connected = true) {
    return {code, std::move(text), connected};
  }
};

// The mail's subject header value: RFC 2047 encoded words "=?GBK?B?...?=", each at most 66
// characters (so that "Subject: " and the first word, and each folded line, stay within 76),
// one word per line; a double-byte character (lead byte 0x81 to 0xFE) is never split between
// two words, and 0x80 (the euro sign) is a character of one byte.
std::string EncodedSubject(std::string_view subject);

// True when the server greeted, accepted the login (a server that offers no
// authentication fails) and answered a harmless command.
bool VerifySmtpLogin(const SmtpEndpoint& endpoint, const SmtpLogin& login);
SmtpResult CheckSmtpLogin(const SmtpEndpoint& endpoint, const SmtpLogin& login);

// Sends `message` (from ComposeMail) from `from` to `to`. The empty text on success,
// otherwise an error description.
std::string SendSmtpMail(const SmtpEndpoint& endpoint, const SmtpLogin& login,
                         const std::string& from, const std::string& to,
                         const std::string& message);
SmtpResult SendSmtpMailResult(const SmtpEndpoint& endpoint, const SmtpLogin& login,
                              const std::string& from, const std::string& to,
                              const std::string& message);

}  // namespace korvelin
