// A fake SMTP server on loopback with a real dialogue: greeting, EHLO (STARTTLS when
// offered, AUTH with the configured mechanisms), STARTTLS with the self-signed test
// certificate, AUTH PLAIN and LOGIN, MAIL/RCPT/DATA, NOOP, RSET, QUIT. It records every
// command line, every login attempt and every message it accepted.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace korvelin::testing {

struct FakeSmtpOptions {
  // STARTTLS offered in the EHLO reply (and carried out with `identity`).
  bool offerStartTls = true;
  // TLS from the first byte (as on port 465); the greeting comes under TLS.
  bool implicitTls = false;
  TlsIdentity identity = TlsIdentity::kTrusted;
  std::string authMechanisms = "PLAIN LOGIN";
  // Decides a login; the default accepts any credentials.
  std::function<bool(const std::string& user, const std::string& password)> accept;
  // Accepts connections but never greets (a hung server).
  bool silent = false;
  // Never answers QUIT: holds the connection until the client closes it (or 60 s pass).
  bool ignoreQuit = false;
  // Falls silent at one step of the dialogue and holds the connection until the client
  // closes it (or 60 s pass): "greeting" (no greeting), a command verb ("EHLO", "STARTTLS",
  // "AUTH", "MAIL", "RCPT", "DATA": that command gets no reply), "TLS" (STARTTLS is answered,
  // the handshake never) or "END" (the mail's final dot gets no reply).
  std::string stallAt;
};

struct SmtpCommand {
  std::string line;  // as received, without CR LF (AUTH continuation lines included)
  bool tls = false;  // received inside TLS
};

struct SmtpLoginAttempt {
  std::string mechanism;  // PLAIN or LOGIN
  std::string user;
  std::string password;
  bool tls = false;
  bool accepted = false;
};

struct SmtpMessage {
  std::string loginUser;  // the user the session had logged in as (empty: none)
  bool tls = false;
  std::string mailFrom;  // the address between < and >
  std::vector<std::string> recipients;
  std::string data;  // the DATA bytes with the dot-stuffing undone, without the final "."
};

class FakeSmtp {
 public:
  explicit FakeSmtp(FakeSmtpOptions options = {}, int port = 0);
  ~FakeSmtp();

  bool Ok() const { return server_->Ok(); }
  int Port() const { return server_->Port(); }
  int AcceptedCount() const { return server_->AcceptedCount(); }
  // With ignoreQuit: the sessions whose client closed the line while its QUIT went unanswered.
  int ClosedAtUnansweredQuit() const;
  // With stallAt: the sessions that reached the stall, and those whose client then closed
  // the line.
  int Stalled() const;
  int ClosedWhileStalled() const;

  std::vector<SmtpCommand> Commands() const;
  std::vector<SmtpLoginAttempt> Logins() const;
  std::vector<SmtpMessage> Messages() const;
  // Called (on the session's thread) for each accepted message, before it is confirmed.
  void SetOnMessage(std::function<void(const SmtpMessage&)> onMessage);

 private:
  void Session(Connection& connection);
  void Hold(Connection& connection);

  FakeSmtpOptions options_;
  mutable std::mutex mutex_;
  std::vector<SmtpCommand> commands_;
  std::vector<SmtpLoginAttempt> logins_;
  std::vector<SmtpMessage> messages_;
  int closedAtUnansweredQuit_ = 0;
  int stalled_ = 0;
  int closedWhileStalled_ = 0;
  std::function<void(const SmtpMessage&)> onMessage_;
  std::unique_ptr<LoopbackServer> server_;  // last: stopped first
};

std::string Base64Decode(std::string_view text);
// The value of a header in a mail's data ("" when absent), unfolded.
std::string MailHeader(const std::string& data, const std::string& name);
// The subject with its =?charset?B?...?= words decoded: the raw bytes (code page 936).
std::string DecodeMailSubject(const std::string& data);
// The base64 body decoded: the raw bytes (code page 936).
std::string DecodeMailBody(const std::string& data);

}  // namespace korvelin::testing
