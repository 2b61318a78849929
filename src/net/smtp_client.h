// A small SMTP client on libcurl: checks a login and sends one plain-text mail, each in an
// SMTP session of its own (greeting, EHLO, STARTTLS when offered, AUTH, ..., QUIT).
#pragma once

#include <string>
#include <utility>

namespace korvelin {

struct SmtpEndpoint {
  std::string host;
  int port = 25;
  long connectTimeoutMs = 3000;  // TCP connect, greeting, STARTTLS and login
  long totalTimeoutMs = 30000;   // the whole session, so a stalled server cannot hold a thread
};

struct SmtpLogin {
  std::string user;
  std::string password;
};

// A mail ready for the wire: header block, blank line, body (CR LF line ends).
// Subject and body are code page 936 texts; the mail declares GB2312, the subject as
// RFC 2047 encoded words and the body in base64.
std::string ComposeMail(const std::string& from, const std::string& to, const std::string& subject,
                        const std::string& body);

// One session's outcome: why it failed, or nothing.
struct SmtpResult {
  int curlCode = 0;   // libcurl's CURLcode; 0 when the transfer itself completed
  std::string error;  // empty on success, otherwise an error description
  bool Ok() const { return error.empty(); }
  static SmtpResult Failed(int code, std::string text) { return {code, std::move(text)}; }
};

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
