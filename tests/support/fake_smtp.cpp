#include "support/fake_smtp.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "common/base64.h"

namespace korvelin::testing {

namespace {

constexpr int kReadTimeoutMs = 60000;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == Upper(prefix);
}

// The address between "<" and ">" of a MAIL FROM or RCPT TO argument.
std::string Angled(std::string_view argument) {
  const size_t open = argument.find('<');
  const size_t close = argument.find('>', open == std::string_view::npos ? 0 : open);
  if (open == std::string_view::npos || close == std::string_view::npos)
    return std::string(argument);
  return std::string(argument.substr(open + 1, close - open - 1));
}

}  // namespace

std::string Base64Decode(std::string_view text) {
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (char c : text) {
    int d = -1;
    if (c >= 'A' && c <= 'Z')
      d = c - 'A';
    else if (c >= 'a' && c <= 'z')
      d = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      d = c - '0' + 52;
    else if (c == '+')
      d = 62;
    else if (c == '/')
      d = 63;
    else
      continue;  // padding, line breaks
    value = (value << 6) | static_cast<unsigned>(d);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

std::string MailHeader(const std::string& data, const std::string& name) {
  const size_t end = data.find("\r\n\r\n");
  const std::string head = data.substr(0, end == std::string::npos ? data.size() : end + 2);
  size_t pos = 0;
  while (pos < head.size()) {
    size_t eol = head.find("\r\n", pos);
    if (eol == std::string::npos) eol = head.size();
    const std::string line = head.substr(pos, eol - pos);
    pos = eol + 2;
    if (!StartsWithNoCase(line, name + ":")) continue;
    std::string value = line.substr(name.size() + 1);
    // Continuation lines begin with white space.
    while (pos < head.size() && (head[pos] == ' ' || head[pos] == '\t')) {
      size_t next = head.find("\r\n", pos);
      if (next == std::string::npos) next = head.size();
      value += "\r\n" + head.substr(pos, next - pos);
      pos = next + 2;
    }
    const size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first);
  }
  return {};
}

std::string DecodeMailSubject(const std::string& data) {
  const std::string value = MailHeader(data, "Subject");
  std::string out;
  size_t pos = 0;
  while (true) {
    const size_t start = value.find("=?", pos);
    if (start == std::string::npos) break;
    const size_t q1 = value.find('?', start + 2);
    const size_t q2 = q1 == std::string::npos ? q1 : value.find('?', q1 + 1);
    const size_t end = q2 == std::string::npos ? q2 : value.find("?=", q2 + 1);
    if (end == std::string::npos) break;
    out += Base64Decode(value.substr(q2 + 1, end - q2 - 1));
    pos = end + 2;
  }
  return out;
}

std::string DecodeMailBody(const std::string& data) {
  const size_t end = data.find("\r\n\r\n");
  if (end == std::string::npos) return {};
  return Base64Decode(data.substr(end + 4));
}

FakeSmtp::FakeSmtp(FakeSmtpOptions options, int port) : options_(std::move(options)) {
  server_ = std::make_unique<LoopbackServer>([this](Connection& c) { Session(c); }, port,
                                             options_.identity);
}

FakeSmtp::~FakeSmtp() { server_->Stop(); }

std::vector<SmtpCommand> FakeSmtp::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

int FakeSmtp::ClosedAtUnansweredQuit() const {
  std::lock_guard lock(mutex_);
  return closedAtUnansweredQuit_;
}

std::vector<SmtpLoginAttempt> FakeSmtp::Logins() const {
  std::lock_guard lock(mutex_);
  return logins_;
}

std::vector<SmtpMessage> FakeSmtp::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

void FakeSmtp::SetOnMessage(std::function<void(const SmtpMessage&)> onMessage) {
  std::lock_guard lock(mutex_);
  onMessage_ = std::move(onMessage);
}

int FakeSmtp::Stalled() const {
  std::lock_guard lock(mutex_);
  return stalled_;
}

int FakeSmtp::ClosedWhileStalled() const {
  std::lock_guard lock(mutex_);
  return closedWhileStalled_;
}

// Holds the connection open without a word until the client gives up (or 60 s pass).
void FakeSmtp::Hold(Connection& c) {
  {
    std::lock_guard lock(mutex_);
    ++stalled_;
  }
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
  while (!c.Stopping() && !c.PeerClosed() && std::chrono::steady_clock::now() < giveUp) {
    c.ReadSome(200);
  }
  if (c.PeerClosed()) {
    std::lock_guard lock(mutex_);
    ++closedWhileStalled_;
  }
}

void FakeSmtp::Session(Connection& c) {
  if (options_.implicitTls && !c.StartTls()) return;
  const std::string stallAt = Upper(options_.stallAt);
  if (options_.silent || stallAt == "GREETING") return Hold(c);
  auto readLine = [&](std::string& line) {
    if (!c.ReadLine(line, kReadTimeoutMs)) return false;
    std::lock_guard lock(mutex_);
    commands_.push_back({line, c.IsTls()});
    return true;
  };
  if (!c.Write("220 fake.smtp ESMTP ready\r\n")) return;

  std::string loginUser;
  SmtpMessage envelope;
  bool haveSender = false;
  std::string line;
  while (readLine(line)) {
    const size_t space = line.find(' ');
    const std::string verb = Upper(line.substr(0, space));
    const std::string argument =
        space == std::string::npos ? std::string() : line.substr(space + 1);
    if (!stallAt.empty() && verb == stallAt) return Hold(c);

    if (verb == "EHLO") {
      std::vector<std::string> lines = {"fake.smtp greets you", "SIZE 10485760", "8BITMIME"};
      if (options_.offerStartTls && !c.IsTls()) lines.push_back("STARTTLS");
      if (!options_.authMechanisms.empty()) lines.push_back("AUTH " + options_.authMechanisms);
      std::string reply;
      for (size_t i = 0; i < lines.size(); ++i) {
        reply += (i + 1 < lines.size() ? "250-" : "250 ") + lines[i] + "\r\n";
      }
      if (!c.Write(reply)) return;
    } else if (verb == "HELO") {
      if (!c.Write("250 fake.smtp\r\n")) return;
    } else if (verb == "STARTTLS") {
      if (!options_.offerStartTls || c.IsTls()) {
        if (!c.Write("502 5.5.1 STARTTLS not offered\r\n")) return;
        continue;
      }
      if (!c.Write("220 2.0.0 Ready to start TLS\r\n")) return;
      if (stallAt == "TLS") return Hold(c);
      if (!c.StartTls()) return;
      // A new session begins under TLS: nothing said before counts.
      loginUser.clear();
      envelope = {};
      haveSender = false;
    } else if (verb == "AUTH") {
      const size_t mechEnd = argument.find(' ');
      const std::string mechanism = Upper(argument.substr(0, mechEnd));
      std::string initial =
          mechEnd == std::string::npos ? std::string() : argument.substr(mechEnd + 1);
      if (options_.authMechanisms.find(mechanism) == std::string::npos || mechanism.empty()) {
        if (!c.Write("504 5.5.4 Unrecognized authentication type\r\n")) return;
        continue;
      }
      SmtpLoginAttempt attempt{mechanism, "", "", c.IsTls(), false};
      if (mechanism == "PLAIN") {
        if (initial.empty()) {
          if (!c.Write("334 \r\n") || !readLine(initial)) return;
        }
        const std::string decoded = Base64Decode(initial);
        const size_t first = decoded.find('\0');
        const size_t second = first == std::string::npos ? first : decoded.find('\0', first + 1);
        if (second == std::string::npos) {
          if (!c.Write("501 5.5.2 Cannot decode response\r\n")) return;
          continue;
        }
        attempt.user = decoded.substr(first + 1, second - first - 1);
        attempt.password = decoded.substr(second + 1);
      } else if (mechanism == "LOGIN") {
        std::string user = initial;
        if (user.empty()) {
          if (!c.Write("334 " + Base64Encode("Username:") + "\r\n") || !readLine(user)) return;
        }
        std::string password;
        if (!c.Write("334 " + Base64Encode("Password:") + "\r\n") || !readLine(password)) return;
        attempt.user = Base64Decode(user);
        attempt.password = Base64Decode(password);
      } else {
        if (!c.Write("504 5.5.4 Unrecognized authentication type\r\n")) return;
        continue;
      }
      attempt.accepted = !options_.accept || options_.accept(attempt.user, attempt.password);
      {
        std::lock_guard lock(mutex_);
        logins_.push_back(attempt);
      }
      if (attempt.accepted) {
        loginUser = attempt.user;
        if (!c.Write("235 2.7.0 Authentication successful\r\n")) return;
      } else if (!c.Write("535 5.7.8 Authentication credentials invalid\r\n")) {
        return;
      }
    } else if (verb == "MAIL") {
      if (loginUser.empty()) {
        if (!c.Write("530 5.7.0 Authentication required\r\n")) return;
        continue;
      }
      envelope = {};
      envelope.mailFrom = Angled(argument);
      haveSender = true;
      if (!c.Write("250 2.1.0 OK\r\n")) return;
    } else if (verb == "RCPT") {
      if (!haveSender) {
        if (!c.Write("503 5.5.1 Need MAIL first\r\n")) return;
        continue;
      }
      envelope.recipients.push_back(Angled(argument));
      if (!c.Write("250 2.1.5 OK\r\n")) return;
    } else if (verb == "DATA") {
      if (!haveSender || envelope.recipients.empty()) {
        if (!c.Write("503 5.5.1 Need RCPT first\r\n")) return;
        continue;
      }
      if (!c.Write("354 End data with <CR><LF>.<CR><LF>\r\n")) return;
      std::string data;
      std::string raw;
      while (true) {
        if (!c.ReadRawLine(raw, kReadTimeoutMs)) return;
        if (raw == ".\r\n" || raw == ".\n") break;
        if (raw.starts_with("..")) raw.erase(0, 1);
        data += raw;
      }
      if (stallAt == "END") return Hold(c);
      envelope.data = std::move(data);
      envelope.loginUser = loginUser;
      envelope.tls = c.IsTls();
      std::function<void(const SmtpMessage&)> onMessage;
      {
        std::lock_guard lock(mutex_);
        messages_.push_back(envelope);
        onMessage = onMessage_;
      }
      if (onMessage) onMessage(envelope);
      envelope = {};
      haveSender = false;
      if (!c.Write("250 2.0.0 OK queued\r\n")) return;
    } else if (verb == "RSET") {
      envelope = {};
      haveSender = false;
      if (!c.Write("250 2.0.0 OK\r\n")) return;
    } else if (verb == "NOOP") {
      if (!c.Write("250 2.0.0 OK\r\n")) return;
    } else if (verb == "VRFY") {
      if (!c.Write("252 2.5.2 Cannot VRFY user\r\n")) return;
    } else if (verb == "HELP") {
      if (!c.Write("214 2.0.0 fake.smtp\r\n")) return;
    } else if (verb == "QUIT") {
      if (options_.ignoreQuit) {
        const auto giveUp =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
        while (!c.Stopping() && !c.PeerClosed() && std::chrono::steady_clock::now() < giveUp)
          c.ReadSome(200);
        if (c.PeerClosed()) {
          std::lock_guard lock(mutex_);
          ++closedAtUnansweredQuit_;
        }
        return;
      }
      c.Write("221 2.0.0 Bye\r\n");
      return;
    } else {
      if (!c.Write("502 5.5.2 Command not recognized\r\n")) return;
    }
  }
}

}  // namespace korvelin::testing
