#include "notify/mail_notifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "common/ports.h"
#include "common/settings.h"
#include "support/fake_smtp.h"
#include "support/log_stamp.h"
#include "support/loopback_server.h"
#include "support/recording_ports.h"

namespace korvelin {
namespace {

using testing::MemoryLog;
using testing::RecordingDesktop;
using testing::RecordingMailControls;

// Log literals, UTF-8.
const std::string kConnecting = "\r\n正在连接邮箱服务器...\r\n";
const std::string kConnected = "\r\n邮件通讯服务器连接成功，邮件通知功能正常...\r\n";
const std::string kConnectFailed = "\r\n邮件通讯服务器连接失败，邮件通知功能不能使用！\r\n";
const std::string kSent = "\r\n邮件通知发送成功！\r\n";
const std::string kSendFailed = "\r\n邮件通知发送失败！\r\n";
// The site the program hands the notifier for the test mail's link.
const std::string kTestLinkSite = "http://www.amazon.de";

// The log entries as the literal after their date-time stamp (UTF-8); a stamp that is not
// a date-time text shows up as "BAD STAMP".
std::vector<std::string> Literals(const std::vector<std::string>& entries) {
  std::vector<std::string> out;
  for (const std::string& entry : entries) {
    const std::optional<std::string> rest = testing::TextAfterStamp(entry);
    out.push_back(rest ? AnsiToUtf8(*rest) : "BAD STAMP " + AnsiToUtf8(entry));
  }
  return out;
}

int ClosedPort() {
  testing::LoopbackServer probe([](testing::Connection&) {});
  return probe.Port();
}

class MailNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings->SetText(Edit::Sender, "user@qq.com");
    settings->SetText(Edit::Password, "secret");
    settings->SetText(Edit::Recipient, "to@qq.com");
  }
  std::unique_ptr<MailNotifier> MakeNotifier(int port) {
    return std::make_unique<MailNotifier>(settings, log, desktop, controls, kTestLinkSite,
                                          MailServer{"127.0.0.1", port});
  }

  std::shared_ptr<Settings> settings = std::make_shared<Settings>();
  std::shared_ptr<MemoryLog> log = std::make_shared<MemoryLog>();
  std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
  std::shared_ptr<RecordingMailControls> controls = std::make_shared<RecordingMailControls>();
};

TEST_F(MailNotifierTest, ConnectLogsInAndReportsSuccess) {
  settings->SetText(Edit::Sender, Ansi(" user@ qq.com　"));
  settings->SetText(Edit::Password, " sec ret ");
  testing::FakeSmtp smtp;
  MakeNotifier(smtp.Port())->Connect();

  EXPECT_EQ(Literals(log->Entries()), (std::vector<std::string>{kConnecting, kConnected}));
  EXPECT_EQ(desktop->Messages(), (std::vector<std::string>{"信息：连接邮箱成功！"}));
  EXPECT_EQ(controls->Calls(),
            (std::vector<std::string>{"connect 连接中 off", "alerts on", "connect 连 接 on"}));
  const auto logins = smtp.Logins();
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(logins[0].user, "user@qq.com");
  EXPECT_EQ(logins[0].password, "secret");
  EXPECT_TRUE(logins[0].accepted);
  EXPECT_TRUE(smtp.Messages().empty());
  const auto commands = smtp.Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back().line, "QUIT");
}

struct FailingServer {
  const char* name;
  bool refuseLogin;
  bool silent;
  bool closedPort;
};

TEST_F(MailNotifierTest, ConnectFailureIsLoggedAndDisablesMailAlerts) {
  const FailingServer cases[] = {
      {"login refused", true, false, false},
      {"server never greets", false, true, false},
      {"nothing listening", false, false, true},
  };
  for (const FailingServer& c : cases) {
    SCOPED_TRACE(c.name);
    auto log = std::make_shared<MemoryLog>();
    auto desktop = std::make_shared<RecordingDesktop>();
    auto controls = std::make_shared<RecordingMailControls>();
    testing::FakeSmtpOptions options;
    options.silent = c.silent;
    if (c.refuseLogin)
      options.accept = [](const std::string&, const std::string&) { return false; };
    testing::FakeSmtp smtp(options);
    const int port = c.closedPort ? ClosedPort() : smtp.Port();
    MailNotifier notifier(settings, log, desktop, controls, kTestLinkSite,
                          MailServer{"127.0.0.1", port});
    notifier.Connect();

    EXPECT_EQ(Literals(log->Entries()), (std::vector<std::string>{kConnecting, kConnectFailed}));
    EXPECT_EQ(desktop->Messages(), (std::vector<std::string>{"信息：连接邮箱失败！"}));
    EXPECT_EQ(controls->Calls(),
              (std::vector<std::string>{"connect 连接中 off", "alerts off", "connect 连 接 on"}));

    // A failed open leaves no connection: the test mail fails.
    notifier.SendTest();
    EXPECT_EQ(desktop->Messages().back(), "信息：邮件发送失败！");
    EXPECT_TRUE(smtp.Messages().empty());
  }
}

struct InvalidSettings {
  const char* name;
  std::string sender;
  std::string password;
  std::string recipient;
};

TEST_F(MailNotifierTest, AServerThatOffersNoAuthenticationDoesNotCountAsConnected) {
  testing::FakeSmtpOptions options;
  options.authMechanisms = "";
  testing::FakeSmtp smtp(options);
  MakeNotifier(smtp.Port())->Connect();
  EXPECT_EQ(Literals(log->Entries()), (std::vector<std::string>{kConnecting, kConnectFailed}));
  EXPECT_EQ(desktop->Messages(), (std::vector<std::string>{"信息：连接邮箱失败！"}));
  EXPECT_EQ(smtp.AcceptedCount(), 1);
}

TEST_F(MailNotifierTest, InvalidSettingsOnlyFlickerTheCaption) {
  const InvalidSettings cases[] = {
      {"sender at its initial text", "@qq.com", "secret", "to@qq.com"},
      {"initial text with spaces", " @qq .com ", "secret", "to@qq.com"},
      {"empty password", "user@qq.com", "", "to@qq.com"},
      {"password of spaces only", "user@qq.com", Ansi(" 　 "), "to@qq.com"},
      {"empty recipient", "user@qq.com", "secret", ""},
      {"everything at its start value", "@qq.com", "", ""},
  };
  testing::FakeSmtp smtp;
  for (const InvalidSettings& c : cases) {
    SCOPED_TRACE(c.name);
    auto log = std::make_shared<MemoryLog>();
    auto desktop = std::make_shared<RecordingDesktop>();
    auto controls = std::make_shared<RecordingMailControls>();
    settings->SetText(Edit::Sender, c.sender);
    settings->SetText(Edit::Password, c.password);
    settings->SetText(Edit::Recipient, c.recipient);
    MailNotifier(settings, log, desktop, controls, kTestLinkSite,
                 MailServer{"127.0.0.1", smtp.Port()})
        .Connect();
    EXPECT_TRUE(log->Entries().empty());
    EXPECT_TRUE(desktop->Messages().empty());
    EXPECT_EQ(controls->Calls(),
              (std::vector<std::string>{"connect 连接中 off", "connect 连 接 on"}));
  }
  EXPECT_EQ(smtp.AcceptedCount(), 0);
}

TEST_F(MailNotifierTest, AnEmptySenderPassesTheFirstTest) {
  settings->SetText(Edit::Sender, "");
  testing::FakeSmtp smtp;
  MakeNotifier(smtp.Port())->Connect();
  EXPECT_EQ(Literals(log->Entries()).front(), kConnecting);
  EXPECT_EQ(smtp.AcceptedCount(), 1);
}

TEST_F(MailNotifierTest, SendTestBeforeAnyConnectionFails) {
  testing::FakeSmtp smtp;
  MakeNotifier(smtp.Port())->SendTest();
  EXPECT_EQ(desktop->Messages(), (std::vector<std::string>{"信息：邮件发送失败！"}));
  EXPECT_EQ(controls->Calls(),
            (std::vector<std::string>{"test 发送中 off", "test 发送测试邮件 on"}));
  EXPECT_TRUE(log->Entries().empty());
  EXPECT_EQ(smtp.AcceptedCount(), 0);
}

TEST_F(MailNotifierTest, SendTestMailsThroughTheOpenConnection) {
  testing::FakeSmtp smtp;
  auto notifier = MakeNotifier(smtp.Port());
  notifier->Connect();
  notifier->SendTest();

  EXPECT_EQ(desktop->Messages(),
            (std::vector<std::string>{"信息：连接邮箱成功！", "信息：邮件发送成功！"}));
  EXPECT_EQ(Literals(log->Entries()).size(), 2u);  // the test mail logs nothing
  const auto messages = smtp.Messages();
  ASSERT_EQ(messages.size(), 1u);
  const testing::SmtpMessage& m = messages[0];
  EXPECT_EQ(m.loginUser, "user@qq.com");
  EXPECT_EQ(m.mailFrom, "user@qq.com");
  EXPECT_EQ(m.recipients, (std::vector<std::string>{"to@qq.com"}));
  EXPECT_EQ(testing::DecodeMailSubject(m.data), Ansi("发送测试邮件"));
  const std::string body = AnsiToUtf8(testing::DecodeMailBody(m.data));
  EXPECT_TRUE(std::regex_match(
      body,
      std::regex(
          "产品：测试产品\r\n时间：\\d{4}年[^\r\n]+\r\n链接：http://www\\.amazon\\.de/gp/aw/d/")))
      << body;
  EXPECT_EQ(testing::MailHeader(m.data, "Content-Type"), "text/plain; charset=GBK");
  EXPECT_EQ(testing::MailHeader(m.data, "Content-Transfer-Encoding"), "base64");
  EXPECT_EQ(testing::MailHeader(m.data, "From"), "<user@qq.com>");
  EXPECT_EQ(testing::MailHeader(m.data, "To"), "<to@qq.com>");
  EXPECT_TRUE(std::regex_match(testing::MailHeader(m.data, "Date"),
                               std::regex("[A-Z][a-z]{2}, \\d{1,2} [A-Z][a-z]{2} \\d{4} "
                                          "\\d{2}:\\d{2}:\\d{2} [+-]\\d{4}")));
  EXPECT_TRUE(std::regex_match(testing::MailHeader(m.data, "Message-ID"),
                               std::regex("<[^@<>]+@qq\\.com>")));
  EXPECT_TRUE(std::regex_match(testing::MailHeader(m.data, "Subject"),
                               std::regex("=\\?GBK\\?B\\?[A-Za-z0-9+/=]+\\?=")));
}

TEST_F(MailNotifierTest, SenderChangedAfterConnect) {
  testing::FakeSmtp smtp;
  auto notifier = MakeNotifier(smtp.Port());
  notifier->Connect();
  settings->SetText(Edit::Sender, "other@qq.com");
  settings->SetText(Edit::Password, "pw2");

  notifier->SendTest();  // still the account and sender that Connect stored
  notifier->SendAlert(Ansi("甲 - 有货啦！"), Ansi("产品：甲"), "to@qq.com");  // stores the new one

  const auto messages = smtp.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].mailFrom, "user@qq.com");
  EXPECT_EQ(messages[0].loginUser, "user@qq.com");
  EXPECT_EQ(messages[1].mailFrom, "other@qq.com");
  EXPECT_EQ(messages[1].loginUser, "other@qq.com");
  EXPECT_EQ(testing::MailHeader(messages[1].data, "From"), "<other@qq.com>");
  EXPECT_EQ(smtp.Logins().back().password, "pw2");
}

TEST_F(MailNotifierTest, SendAlertReconnectsAndSendsExactlyOneMail) {
  testing::FakeSmtp smtp;
  // Long enough for the subject to need several encoded words.
  const std::string name = Ansi("爱他美1段婴儿配方奶粉800克德国原装进口超大包装特惠装");
  const std::string subject = name + Ansi(" - 有货啦！");
  const std::string body = Ansi("产品：") + name +
                           Ansi("\r\n时间：2014年11月17日1时45分\r\n链接：") +
                           "http://www.amazon.de/product-reviews/B00D8V0972";
  auto notifier = MakeNotifier(smtp.Port());
  notifier->SendAlert(subject, body, "dest@qq.com");

  EXPECT_EQ(Literals(log->Entries()), (std::vector<std::string>{kConnecting, kConnected, kSent}));
  EXPECT_TRUE(desktop->Messages().empty());
  EXPECT_TRUE(controls->Calls().empty());
  const auto messages = smtp.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].recipients, (std::vector<std::string>{"dest@qq.com"}));
  EXPECT_EQ(messages[0].mailFrom, "user@qq.com");
  EXPECT_EQ(testing::DecodeMailSubject(messages[0].data), subject);
  EXPECT_EQ(testing::DecodeMailBody(messages[0].data), body);
  EXPECT_NE(testing::MailHeader(messages[0].data, "Subject").find("\r\n "), std::string::npos);
}

TEST_F(MailNotifierTest, SendAlertWithInvalidSettingsUsesWhateverConnectionExists) {
  testing::FakeSmtp smtp;
  {
    // No connection yet: one entry, a failed send, nothing reaches the server.
    settings->SetText(Edit::Password, "");
    MakeNotifier(smtp.Port())->SendAlert("s", "b", "to@qq.com");
    EXPECT_EQ(Literals(log->Entries()), (std::vector<std::string>{kSendFailed}));
    EXPECT_EQ(smtp.AcceptedCount(), 0);
  }
  {
    auto log2 = std::make_shared<MemoryLog>();
    settings->SetText(Edit::Password, "secret");
    MailNotifier notifier(settings, log2, desktop, controls, kTestLinkSite,
                          MailServer{"127.0.0.1", smtp.Port()});
    notifier.Connect();
    settings->SetText(Edit::Sender, "@qq.com");  // invalid from now on
    notifier.SendAlert("s", "b", "to@qq.com");
    const auto literals = Literals(log2->Entries());
    EXPECT_EQ(literals.back(), kSent);
    EXPECT_EQ(literals.size(), 3u);  // connecting, connected (Connect), sent
    ASSERT_EQ(smtp.Messages().size(), 1u);
    EXPECT_EQ(smtp.Messages()[0].mailFrom, "user@qq.com");
  }
}

TEST_F(MailNotifierTest, LineBreaksInAddressesAndSubjectAddNoCommandOrHeader) {
  // Line breaks are dropped from every header value and envelope address.
  settings->SetText(Edit::Sender, "user@qq.com\r\nBcc: spy@x.cn");
  testing::FakeSmtp smtp;
  MakeNotifier(smtp.Port())
      ->SendAlert(Ansi("甲\r\nBcc: spy@x.cn\r\n\r\nforged"), "b",
                  "to@qq.com\r\nRCPT TO:<spy@x.cn>");

  EXPECT_EQ(Literals(log->Entries()).back(), kSent);
  const auto messages = smtp.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].recipients.size(), 1u);
  int mailCommands = 0;
  int rcptCommands = 0;
  for (const auto& command : smtp.Commands()) {
    mailCommands += command.line.starts_with("MAIL") ? 1 : 0;
    rcptCommands += command.line.starts_with("RCPT") ? 1 : 0;
  }
  EXPECT_EQ(mailCommands, 1);
  EXPECT_EQ(rcptCommands, 1);
  const std::string& data = messages[0].data;
  EXPECT_EQ(testing::MailHeader(data, "Bcc"), "");
  EXPECT_EQ(testing::MailHeader(data, "From"), "<user@qq.comBcc:spy@x.cn>");
  EXPECT_EQ(testing::MailHeader(data, "To"), "<to@qq.comRCPT TO:<spy@x.cn>>");
  EXPECT_EQ(testing::DecodeMailSubject(data), Ansi("甲Bcc: spy@x.cnforged"));
  EXPECT_EQ(testing::DecodeMailBody(data), "b");
}

TEST_F(MailNotifierTest, SendAlertWithRefusedLoginLogsThreeFailures) {
  testing::FakeSmtpOptions options;
  options.accept = [](const std::string&, const std::string&) { return false; };
  testing::FakeSmtp smtp(options);
  MakeNotifier(smtp.Port())->SendAlert("s", "b", "to@qq.com");
  EXPECT_EQ(Literals(log->Entries()),
            (std::vector<std::string>{kConnecting, kConnectFailed, kSendFailed}));
  EXPECT_TRUE(smtp.Messages().empty());
}

TEST_F(MailNotifierTest, DisconnectForgetsTheConnection) {
  testing::FakeSmtp smtp;
  auto notifier = MakeNotifier(smtp.Port());
  notifier->Connect();
  notifier->Disconnect();
  notifier->SendTest();
  EXPECT_EQ(desktop->Messages().back(), "信息：邮件发送失败！");
  EXPECT_TRUE(smtp.Messages().empty());
}

TEST_F(MailNotifierTest, DisconnectDoesNotWaitForAMailInProgress) {
  testing::FakeSmtp smtp;
  auto notifier = MakeNotifier(smtp.Port());
  notifier->Connect();
  std::promise<void> released;
  std::shared_future<void> release = released.get_future().share();
  std::atomic<bool> releasedInTime{false};
  smtp.SetOnMessage([&](const testing::SmtpMessage&) {
    // Hold the mail until the main thread's Disconnect has returned (or give up).
    releasedInTime = release.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  });
  std::thread alert([&] { notifier->SendAlert("s", "b", "to@qq.com"); });
  for (int i = 0; i < 4000 && smtp.Messages().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  notifier->Disconnect();  // the program ends while the mail is on its way
  released.set_value();
  alert.join();
  EXPECT_TRUE(releasedInTime);
  EXPECT_EQ(Literals(log->Entries()).back(), kSent);

  notifier->SendTest();  // the connection opened before the close is gone
  EXPECT_EQ(desktop->Messages().back(), "信息：邮件发送失败！");
  EXPECT_EQ(smtp.Messages().size(), 1u);
}

TEST_F(MailNotifierTest, StartTlsIsUsedWhenOfferedSoThePasswordNeverGoesInClear) {
  testing::FakeSmtpOptions options;
  options.offerStartTls = true;
  testing::FakeSmtp smtp(options);
  auto notifier = MakeNotifier(smtp.Port());
  notifier->Connect();
  notifier->SendAlert("s", "b", "to@qq.com");

  EXPECT_EQ(Literals(log->Entries()).back(), kSent);
  const auto logins = smtp.Logins();
  ASSERT_EQ(logins.size(), 3u);  // Connect's open, SendAlert's open, the send itself
  for (const auto& login : logins) EXPECT_TRUE(login.tls);
  ASSERT_EQ(smtp.Messages().size(), 1u);
  EXPECT_TRUE(smtp.Messages()[0].tls);
  for (const auto& command : smtp.Commands()) {
    if (command.tls) continue;
    const bool allowedInClear = command.line.starts_with("EHLO") || command.line == "STARTTLS";
    EXPECT_TRUE(allowedInClear) << command.line;
  }
}

TEST_F(MailNotifierTest, ServerWithLoginMechanismOnly) {
  testing::FakeSmtpOptions options;
  options.authMechanisms = "LOGIN";
  options.accept = [](const std::string& user, const std::string& password) {
    return user == "user@qq.com" && password == "secret";
  };
  testing::FakeSmtp smtp(options);
  MakeNotifier(smtp.Port())->SendAlert("s", "b", "to@qq.com");
  EXPECT_EQ(Literals(log->Entries()), (std::vector<std::string>{kConnecting, kConnected, kSent}));
  ASSERT_FALSE(smtp.Logins().empty());
  EXPECT_EQ(smtp.Logins()[0].mechanism, "LOGIN");
}

TEST_F(MailNotifierTest, ConcurrentAlertsNeverInterleave) {
  testing::FakeSmtp smtp;
  auto notifier = MakeNotifier(smtp.Port());
  const std::vector<std::string> senders = {"a@qq.com", "b@qq.com", "c@qq.com", "d@qq.com"};
  std::vector<std::thread> threads;
  for (const std::string& sender : senders) {
    threads.emplace_back([&, sender] {
      // The sender box changes under the alerts' feet; each send must still come from the
      // account that its own open stored.
      settings->SetText(Edit::Sender, sender);
      notifier->SendAlert("s", "body", "to@qq.com");
    });
  }
  for (auto& t : threads) t.join();

  const auto messages = smtp.Messages();
  ASSERT_EQ(messages.size(), senders.size());
  for (const auto& m : messages) {
    EXPECT_EQ(m.loginUser, m.mailFrom);
    EXPECT_EQ(testing::MailHeader(m.data, "From"), "<" + m.mailFrom + ">");
  }
  const auto literals = Literals(log->Entries());
  ASSERT_EQ(literals.size(), 3 * senders.size());
  for (size_t i = 0; i < literals.size(); i += 3) {
    EXPECT_EQ(literals[i], kConnecting);
    EXPECT_EQ(literals[i + 1], kConnected);
    EXPECT_EQ(literals[i + 2], kSent);
  }
}

// ------------------------------------------------------------------ TLS only, bounded

// STARTTLS on the mail port; when that port cannot be reached, STARTTLS on the submission
// port, then TLS from the start. A reachable port decides, even when it fails.
TEST_F(MailNotifierTest, ThePortsAreTriedInOrderWhenOneCannotBeReached) {
  testing::FakeSmtp submission;
  testing::FakeSmtpOptions implicitOptions;
  implicitOptions.implicitTls = true;
  testing::FakeSmtp implicitTls(implicitOptions);
  testing::FakeSmtpOptions plainOptions;
  plainOptions.offerStartTls = false;
  testing::FakeSmtp plain(plainOptions);
  struct Case {
    const char* name;
    int port;
    int submissionPort;
    const testing::FakeSmtp* expected;  // the server that gets the login; null: none
  };
  const Case cases[] = {
      {"25 closed: 587", ClosedPort(), submission.Port(), &submission},
      {"25 and 587 closed: 465", ClosedPort(), ClosedPort(), &implicitTls},
      {"25 without STARTTLS: no other port", plain.Port(), submission.Port(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before[] = {submission.Logins().size(), implicitTls.Logins().size()};
    auto caseLog = std::make_shared<MemoryLog>();
    MailServer server{"127.0.0.1", c.port, c.submissionPort, implicitTls.Port()};
    MailNotifier notifier(settings, caseLog, desktop, controls, kTestLinkSite, server);
    notifier.Connect();
    notifier.SendAlert("s", "b", "to@qq.com");
    const std::size_t after[] = {submission.Logins().size(), implicitTls.Logins().size()};
    if (c.expected == nullptr) {
      EXPECT_EQ(after[0], before[0]);
      EXPECT_EQ(after[1], before[1]);
      EXPECT_TRUE(plain.Logins().empty());
      EXPECT_EQ(Literals(caseLog->Entries()).back(), kSendFailed);
    } else {
      EXPECT_EQ(
          Literals(caseLog->Entries()),
          (std::vector<std::string>{kConnecting, kConnected, kConnecting, kConnected, kSent}));
      const bool onSubmission = c.expected == &submission;
      EXPECT_EQ(after[0] - before[0], onSubmission ? 3u : 0u);  // two checks and the send
      EXPECT_EQ(after[1] - before[1], onSubmission ? 0u : 3u);
      for (const auto& login : c.expected->Logins()) EXPECT_TRUE(login.tls);
    }
  }
}

// A login check refused for the server's security fails with the designed texts and one
// entry that names the cause; no AUTH went out.
TEST_F(MailNotifierTest, ALoginOverUnverifiedTlsIsNeverTriedAndTheCauseIsLogged) {
  struct Case {
    const char* name;
    bool offerStartTls;
    testing::TlsIdentity identity;
    const char* cause;
  };
  const Case cases[] = {
      {"no STARTTLS", false, testing::TlsIdentity::kTrusted, "\r\n邮件服务器不支持加密连接\r\n"},
      {"unknown authority", true, testing::TlsIdentity::kUntrusted, "\r\n邮件服务器证书无效\r\n"},
      {"another host", true, testing::TlsIdentity::kWrongHost, "\r\n邮件服务器证书无效\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSmtpOptions options;
    options.offerStartTls = c.offerStartTls;
    options.identity = c.identity;
    testing::FakeSmtp smtp(options);
    auto caseLog = std::make_shared<MemoryLog>();
    auto caseDesktop = std::make_shared<RecordingDesktop>();
    auto caseControls = std::make_shared<RecordingMailControls>();
    MailNotifier notifier(settings, caseLog, caseDesktop, caseControls, kTestLinkSite,
                          MailServer{"127.0.0.1", smtp.Port()});
    notifier.Connect();
    EXPECT_EQ(Literals(caseLog->Entries()),
              (std::vector<std::string>{kConnecting, c.cause, kConnectFailed}));
    EXPECT_EQ(caseDesktop->Messages(), (std::vector<std::string>{"信息：连接邮箱失败！"}));
    EXPECT_EQ(caseControls->Calls(),
              (std::vector<std::string>{"connect 连接中 off", "alerts off", "connect 连 接 on"}));
    EXPECT_TRUE(smtp.Logins().empty());
    for (const auto& command : smtp.Commands()) EXPECT_NE(command.line.rfind("AUTH", 0), 0u);
  }
}

// Three alerts at once behind a server that stalls after the login: the operation's
// time-out bounds each alert, the wait for the connection included; the ones that cannot
// have it in time log the send failure.
TEST_F(MailNotifierTest, ThreeAlertsBehindAStalledServerEachEndWithinTheTimeOut) {
  testing::FakeSmtpOptions options;
  options.stallAt = "MAIL";
  testing::FakeSmtp smtp(options);
  MailServer server{"127.0.0.1", smtp.Port()};
  server.operationTimeoutMs = 2000;
  MailNotifier notifier(settings, log, desktop, controls, kTestLinkSite, server);
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::future<double>> alerts;
  for (int i = 0; i < 3; ++i) {
    alerts.push_back(std::async(std::launch::async, [&] {
      notifier.SendAlert("s", "b", "to@qq.com");
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }));
  }
  for (std::future<double>& alert : alerts) {
    const double seconds = alert.get();
    std::printf("stalled mail server, three alerts, time-out 2 s: one ended after %.2f s\n",
                seconds);
    EXPECT_LE(seconds, 3.2);
  }
  const std::vector<std::string> literals = Literals(log->Entries());
  EXPECT_EQ(std::count(literals.begin(), literals.end(), kSendFailed), 3);
  EXPECT_EQ(std::count(literals.begin(), literals.end(), kSent), 0);
}

}  // namespace
}  // namespace korvelin
