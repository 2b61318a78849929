#include "notify/sms_notifier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "support/fake_gateway.h"
#include "support/loopback_server.h"
#include "support/recording_ports.h"

namespace korvelin {
namespace {

using testing::MemoryLog;

struct UnescapeCase {
  const char* name;
  std::string input;     // UTF-8 in the table; the test converts it to code page 936
  std::string expected;  // likewise
};

TEST(UnescapeText, DecodesLikeTheQuotedLiteralThenUnescape) {
  const std::vector<UnescapeCase> cases = {
      {"escaped Chinese", "\\u6709\\u8d27", "有货"},
      {"escaped slash of JSON", "http:\\/\\/x.cn\\/a", "http://x.cn/a"},
      {"percent escape", "a%20b", "a b"},
      {"percent-u escape", "%u4E2D%u6587", "中文"},
      {"apostrophe survives", "it's 'ok'", "it's 'ok'"},
      {"right quote becomes apostrophe", "it’s", "it's"},
      {"escaped right quote becomes apostrophe", "it\\u2019s", "it's"},
      {"escaped apostrophe", "a\\'b", "a'b"},
      {"line mark becomes CR LF", "a{$}b", "a\r\nb"},
      {"CR LF kept", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"leading CR dropped", "\rabc", "abc"},
      {"only the first leading CR is dropped", "\r\rabc", ""},
      {"lone LF makes it invalid", "a\nb", ""},
      {"CR without LF makes it invalid", "a\rb", ""},
      {"trailing backslash makes it invalid", "abc\\", ""},
      {"escaped backslash at the end", "abc\\\\", "abc\\"},
      {"single-character escapes", "\\t|\\n|\\r|\\b|\\f|\\v|\\\"", "\t|\n|\r|\b|\f|\v|\""},
      {"octal, three digits after 0-3", "\\101\\0623", "A23"},
      {"octal, two digits after 4-7", "\\477", "'7"},
      {"hex escape", "\\x41\\x4a", "AJ"},
      {"hex escape without two digits keeps the x", "\\x4g", "x4g"},
      {"unknown escape drops the backslash", "\\q\\%41", "qA"},
      {"percent without hex stays", "%ZZ 100% %u12", "%ZZ 100% %u12"},
      {"percent two hex digits, latin-1 range", "%41%42", "AB"},
      {"Chinese passes through", "价格：54.99", "价格：54.99"},
      {"double-byte character with a backslash trail byte", "誠u1", "誠u1"},
      {"double-byte backslash trail byte at the end", "表誠", "表誠"},
      {"character outside code page 936", "\\u0E01x", "?x"},
      {"empty", "", ""},
  };
  for (const UnescapeCase& c : cases) {
    EXPECT_EQ(UnescapeText(Ansi(c.input)), Ansi(c.expected)) << c.name;
  }
}

TEST(SmsGateway, DefaultIsTheConfiguredTextbeltEndpoint) {
  const SmsGateway gateway = DefaultSmsGateway();
  EXPECT_FALSE(gateway.endpoint.empty());
  EXPECT_FALSE(gateway.key.empty());
}

// The entry: 13 time digits, then the decoded text and CR LF.
void ExpectSmsEntry(const std::string& entry, const std::string& text) {
  ASSERT_GE(entry.size(), 15u);
  for (int i = 0; i < 13; ++i) {
    ASSERT_TRUE(entry[i] >= '0' && entry[i] <= '9') << entry;
  }
  EXPECT_EQ(entry.substr(13), text + "\r\n");
}

class SmsSend : public ::testing::Test {
 protected:
  std::shared_ptr<MemoryLog> log = std::make_shared<MemoryLog>();
  testing::FakeGateway gateway;
  SmsNotifier Notifier() { return SmsNotifier(log, SmsGateway{gateway.Endpoint(), "k3y"}); }
};

TEST_F(SmsSend, PostsTheFormFieldsWithTheSpacesRemovedFromThePhone) {
  gateway.SetReply(R"({"success":false,"error":"Out of quota"})");
  Notifier().Send(Ansi(" +86 138　0013 8000 "));  // a full-width space among them

  const auto requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/text");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(requests[0].body,
            "phone=%2B8613800138000"
            "&message=Korvelin%3A%20a%20watched%20product%20has%20reached%20its%20target%20price."
            "&key=k3y");
  const auto form = testing::ParseForm(requests[0].body);
  EXPECT_EQ(form.at("phone"), "+8613800138000");
  EXPECT_EQ(form.at("key"), "k3y");

  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], "Out of quota");
}

TEST_F(SmsSend, LogsTheDecodedErrorMember) {
  gateway.SetReply(R"({"success":false,"error":"\u53d1\u9001\u5931\u8d25: it's \/text"})");
  Notifier().Send("5551234567");
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], Ansi("发送失败: it's /text"));
}

TEST_F(SmsSend, LogsTheWholeDecodedReplyWhenThereIsNoErrorMember) {
  gateway.SetReply(R"({"success":true,"textId":"12\/34","quotaRemaining":2})");
  Notifier().Send("5551234567");
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], R"({"success":true,"textId":"12/34","quotaRemaining":2})");
}

TEST_F(SmsSend, EmptyErrorMemberFallsBackToTheWholeReply) {
  gateway.SetReply(R"({"success":false,"error":""})");
  Notifier().Send("5551234567");
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], R"({"success":false,"error":""})");
}

TEST(SmsSendHttps, ReachesAGatewayServedOverTls) {
  testing::FakeGateway gateway(R"({"success":false,"error":"Invalid phone number"})", 0, true);
  ASSERT_EQ(gateway.Endpoint().substr(0, 8), "https://");
  auto log = std::make_shared<MemoryLog>();
  SmsNotifier(log, SmsGateway{gateway.Endpoint(), "k"}).Send("12");
  ASSERT_EQ(gateway.Requests().size(), 1u);
  EXPECT_EQ(gateway.Requests()[0].body.substr(0, 9), "phone=12&");
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], "Invalid phone number");
}

TEST(SmsSendUnreachable, LogsTheTimeDigitsOnly) {
  int closedPort = 0;
  {
    testing::LoopbackServer probe([](testing::Connection&) {});
    closedPort = probe.Port();
  }
  auto log = std::make_shared<MemoryLog>();
  SmsNotifier(log, SmsGateway{"http://127.0.0.1:" + std::to_string(closedPort) + "/text", "k"})
      .Send("5551234567");
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], "");
}

// A gateway whose certificate is of an unknown authority or for another host gets nothing:
// the TLS handshake fails before the request goes out, and the log holds the time only.
TEST(SmsSendHttps, AnImpostorGatewayReceivesNothing) {
  for (const testing::TlsIdentity identity :
       {testing::TlsIdentity::kUntrusted, testing::TlsIdentity::kWrongHost}) {
    SCOPED_TRACE(static_cast<int>(identity));
    testing::FakeGateway gateway(R"({"success":true})", 0, true, identity);
    auto log = std::make_shared<MemoryLog>();
    SmsNotifier(log, SmsGateway{gateway.Endpoint(), "secret-key"}).Send("13800138000");
    EXPECT_TRUE(gateway.Requests().empty());
    const auto entries = log->Entries();
    ASSERT_EQ(entries.size(), 1u);
    ExpectSmsEntry(entries[0], "");
  }
}

// A gateway that reads the request and never answers holds the send no longer than the
// deadline (120 s in the program, 2 s here).
TEST(SmsSendStalled, EndsAtTheDeadline) {
  testing::LoopbackServer gateway([](testing::Connection& c) {
    std::string line;
    while (c.ReadLine(line) && !line.empty()) {
    }
    while (!c.Stopping() && !c.PeerClosed()) c.ReadSome(200);
  });
  auto log = std::make_shared<MemoryLog>();
  const SmsGateway stalled{"http://127.0.0.1:" + std::to_string(gateway.Port()) + "/text", "k",
                           std::chrono::seconds(2)};
  const auto start = std::chrono::steady_clock::now();
  SmsNotifier(log, stalled).Send("5551234567");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("stalled SMS gateway, deadline 2 s: Send returned after %.2f s\n", seconds);
  EXPECT_GE(seconds, 1.9);
  EXPECT_LE(seconds, 3.0);
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 1u);
  ExpectSmsEntry(entries[0], "");
  EXPECT_EQ(DefaultSmsGateway().deadline, std::chrono::seconds(120));
}

}  // namespace
}  // namespace korvelin
