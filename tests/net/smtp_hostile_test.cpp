// The SMTP client against hostile servers on loopback: no STARTTLS, a certificate that must
// not be trusted, a server that falls silent at each step of the dialogue, and the subject's
// encoded words. Each case asserts the refusal (no AUTH ever sent) or the bound.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/base64.h"
#include "common/code_page.h"
#include "net/smtp_client.h"
#include "support/fake_smtp.h"

namespace korvelin {
namespace {

using testing::FakeSmtp;
using testing::FakeSmtpOptions;
using testing::TlsIdentity;

const SmtpLogin kLogin{"user@qq.com", "S3cretPass"};

bool AnyAuth(const FakeSmtp& smtp) {
  for (const auto& command : smtp.Commands()) {
    if (command.line.rfind("AUTH", 0) == 0) return true;
  }
  return !smtp.Logins().empty();
}

// Without TLS, or with a certificate that does not verify, the session ends before the
// login: the password never leaves the program.
TEST(SmtpHostile, NoAuthWithoutVerifiedTls) {
  struct Case {
    const char* name;
    bool offerStartTls;
    TlsIdentity identity;
    SmtpFailure failure;
  };
  const Case cases[] = {
      {"no STARTTLS", false, TlsIdentity::kTrusted, SmtpFailure::kNoTls},
      {"unknown authority", true, TlsIdentity::kUntrusted, SmtpFailure::kBadCertificate},
      {"certificate of another host", true, TlsIdentity::kWrongHost, SmtpFailure::kBadCertificate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSmtpOptions options;
    options.offerStartTls = c.offerStartTls;
    options.identity = c.identity;
    FakeSmtp smtp(options);
    const SmtpEndpoint endpoint{"127.0.0.1", smtp.Port(), 3000, 5000};
    const SmtpResult check = CheckSmtpLogin(endpoint, kLogin);
    EXPECT_FALSE(check.Ok());
    EXPECT_EQ(check.Failure(), c.failure);
    const SmtpResult send = SendSmtpMailResult(endpoint, kLogin, "user@qq.com", "to@qq.com",
                                               ComposeMail("user@qq.com", "to@qq.com", "s", "b"));
    EXPECT_EQ(send.Failure(), c.failure);
    EXPECT_FALSE(AnyAuth(smtp));
    EXPECT_TRUE(smtp.Messages().empty());
  }
  // The same servers with a verified TLS session log in, under TLS only.
  FakeSmtp good;
  EXPECT_TRUE(CheckSmtpLogin({"127.0.0.1", good.Port(), 3000, 5000}, kLogin).Ok());
  ASSERT_EQ(good.Logins().size(), 1u);
  EXPECT_TRUE(good.Logins()[0].tls);
}

TEST(SmtpHostile, TlsFromTheStart) {
  FakeSmtpOptions options;
  options.implicitTls = true;
  FakeSmtp smtp(options);
  SmtpEndpoint endpoint{"127.0.0.1", smtp.Port(), 3000, 5000};
  endpoint.implicitTls = true;
  EXPECT_EQ(SendSmtpMail(endpoint, kLogin, "user@qq.com", "to@qq.com",
                         ComposeMail("user@qq.com", "to@qq.com", "s", "b")),
            "");
  ASSERT_EQ(smtp.Messages().size(), 1u);
  EXPECT_TRUE(smtp.Messages()[0].tls);
  for (const auto& command : smtp.Commands()) EXPECT_TRUE(command.tls) << command.line;
  // A port that speaks TLS from the start, reached with STARTTLS, is no mail server.
  endpoint.implicitTls = false;
  EXPECT_FALSE(CheckSmtpLogin(endpoint, kLogin).Ok());
}

// A server that falls silent at any step holds the send no longer than its session time-out.
TEST(SmtpHostile, AStallAtEveryStepIsBoundedByTheSessionTimeOut) {
  constexpr long kConnectMs = 1000;
  constexpr long kTotalMs = 2000;
  for (const char* step :
       {"greeting", "EHLO", "STARTTLS", "TLS", "AUTH", "MAIL", "RCPT", "DATA", "END"}) {
    SCOPED_TRACE(step);
    FakeSmtpOptions options;
    options.stallAt = step;
    FakeSmtp smtp(options);
    const SmtpEndpoint endpoint{"127.0.0.1", smtp.Port(), kConnectMs, kTotalMs};
    const auto start = std::chrono::steady_clock::now();
    const SmtpResult result = SendSmtpMailResult(endpoint, kLogin, "user@qq.com", "to@qq.com",
                                                 ComposeMail("user@qq.com", "to@qq.com", "s", "b"));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("SMTP stall at %-8s: the send returned after %.2f s\n", step, seconds);
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(smtp.Stalled(), 1);
    EXPECT_LE(seconds, kTotalMs / 1000.0 + 1.2);
  }
}

// The decoded bytes of every word in an encoded subject; fails the test when a word or a
// line is too long.
std::vector<std::string> SubjectWords(const std::string& subject) {
  const std::string value = EncodedSubject(subject);
  std::vector<std::string> words;
  std::size_t start = 0;
  bool first = true;
  while (start <= value.size()) {
    std::size_t end = value.find("\r\n", start);
    if (end == std::string::npos) end = value.size();
    std::string line = value.substr(start, end - start);
    EXPECT_LE(line.size() + (first ? 9 : 0), 76u);
    if (!first) {
      EXPECT_EQ(line.substr(0, 1), " ");
      line.erase(0, 1);
    }
    EXPECT_LE(line.size(), 75u);
    EXPECT_EQ(line.rfind("=?GBK?B?", 0), 0u) << line;
    EXPECT_TRUE(line.ends_with("?="));
    words.push_back(testing::Base64Decode(line.substr(8, line.size() - 10)));
    first = false;
    if (end == value.size()) break;
    start = end + 2;
  }
  return words;
}

// Whether the text ends at a character boundary (0x81..0xFE lead a pair, 0x80 stands alone).
bool EndsWhole(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    i += byte >= 0x81 && byte <= 0xFE ? 2 : 1;
  }
  return i == text.size();
}

TEST(EncodedSubject, WordsWithinTheLimitsAndNoCharacterSplit) {
  // A "€" (one byte) in front of double-byte characters: pairing by "a byte of 0x80 or more
  // leads" would shift and split a "装" between two words.
  const std::string euroFirst =
      Ansi("€装装装装装装装装装装装装装装装装装装装装装装装装装装装装装装装装装");
  const std::string cases[] = {
      Ansi("爱他美1段婴儿配方奶粉800克德国原装进口超大包装特惠装 - 有货啦！"),
      euroFirst,
      Ansi("€€€ 爱他美Pre 20€ - 有货啦！ 繁體字測試 €") + std::string(50, 'a'),
      "plain ascii subject that is long enough to need a second encoded word at least once",
      Ansi("装"),
  };
  for (const std::string& subject : cases) {
    SCOPED_TRACE(AnsiToUtf8(subject));
    std::string joined;
    for (const std::string& word : SubjectWords(subject)) {
      EXPECT_TRUE(EndsWhole(word)) << "a character split between two words";
      joined += word;
    }
    EXPECT_EQ(joined, subject);
  }
  EXPECT_EQ(EncodedSubject(""), "");
}

TEST(ComposeMail, LabelsTheTextGbk) {
  const std::string mail = ComposeMail("a@qq.com", "b@qq.com", Ansi("装"), Ansi("€"));
  EXPECT_NE(mail.find("\r\nContent-Type: text/plain; charset=GBK\r\n"), std::string::npos);
  EXPECT_NE(mail.find("\r\nSubject: =?GBK?B?" + Base64Encode(Ansi("装")) + "?=\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace korvelin
