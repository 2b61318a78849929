#include "notify/mail_notifier.h"

#include <atomic>
#include <optional>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ports.h"
#include "common/settings.h"
#include "common/text.h"
#include "common/utilities.h"
#include "net/smtp_client.h"

namespace korvelin {

namespace {

// The mail notifier's own texts (code page 936).
struct MailTexts {
  std::string senderInitial = "@qq.com";  // the sender box's initial text
  std::string title = Ansi("信息：");
  std::string connectBusy = Ansi("连接中");
  std::string connectIdle = Ansi("连 接");
  std::string testBusy = Ansi("发送中");
  std::string testIdle = Ansi("发送测试邮件");
  std::string logConnecting = Ansi("\r\n正在连接邮箱服务器...\r\n");
  std::string logConnected = Ansi("\r\n邮件通讯服务器连接成功，邮件通知功能正常...\r\n");
  std::string logConnectFailed = Ansi("\r\n邮件通讯服务器连接失败，邮件通知功能不能使用！\r\n");
  std::string logSent = Ansi("\r\n邮件通知发送成功！\r\n");
  std::string logSendFailed = Ansi("\r\n邮件通知发送失败！\r\n");
  std::string boxConnected = Ansi("连接邮箱成功！");
  std::string boxConnectFailed = Ansi("连接邮箱失败！");
  std::string boxSent = Ansi("邮件发送成功！");
  std::string boxSendFailed = Ansi("邮件发送失败！");
  std::string testSubject = Ansi("发送测试邮件");
  std::string testBodyProduct = Ansi("产品：测试产品\r\n时间：");
  std::string testBodyLink = Ansi("\r\n链接：");
  std::string testLinkPath = "/gp/aw/d/";
};

const MailTexts& Texts() {
  static const MailTexts texts;
  return texts;
}

// The three mail boxes as read at one moment, spaces removed.
struct MailAccount {
  std::string sender;
  std::string password;
  std::string recipient;
};

}  // namespace

struct MailNotifier::State {
  std::shared_ptr<Settings> settings;
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<Desktop> desktop;
  std::shared_ptr<MailControls> controls;
  std::string testLinkSite;
  SmtpEndpoint endpoint;

  // Serialises every use of the connection and the stored sender: an open and the send
  // that follows it in SendAlert happen as one step, so concurrent alerts never mix.
  std::mutex mutex;
  std::string storedSender;
  // libcurl speaks SMTP one session per mail, so the open connection is the login that the
  // last successful open verified; every send logs in with it again.
  std::optional<SmtpLogin> connection;
  // Disconnect runs on the UI thread at program end and must not wait for a mail in
  // progress, so it takes no lock: it counts a close, and a connection opened before that
  // count changed (or while an open was under way) counts as closed.
  std::atomic<unsigned> closeCount{0};
  unsigned openedAtClose = 0;

  MailAccount ReadAccount() const {
    return MailAccount{RemoveSpaces(settings->Text(Edit::Sender)),
                       RemoveSpaces(settings->Text(Edit::Password)),
                       RemoveSpaces(settings->Text(Edit::Recipient))};
  }

  // Tested in this order, stopping at the first that fails.
  static bool IsValid(const MailAccount& account) {
    if (account.sender == Texts().senderInitial) return false;
    if (account.password.empty()) return false;
    if (account.recipient.empty()) return false;
    return true;
  }

  void Log(const std::string& message) { log->Append(NowText() + message); }

  // Logs the attempt, stores the sender and opens a connection for it. Caller holds mutex.
  bool OpenLocked(const MailAccount& account) {
    Log(Texts().logConnecting);
    storedSender = account.sender;
    connection.reset();  // opening closes the previous connection; a failed open leaves none
    const unsigned closesBefore = closeCount.load();
    const SmtpLogin login{account.sender, account.password};
    const bool opened = VerifySmtpLogin(endpoint, login);
    if (opened) {
      connection = login;
      openedAtClose = closesBefore;
    }
    Log(opened ? Texts().logConnected : Texts().logConnectFailed);
    return opened;
  }

  // True when the mail went out through the open connection. Caller holds mutex.
  bool SendLocked(const std::string& subject, const std::string& body,
                  const std::string& recipient) {
    if (!connection || openedAtClose != closeCount.load()) return false;
    const std::string mail = ComposeMail(storedSender, recipient, subject, body);
    return SendSmtpMail(endpoint, *connection, storedSender, recipient, mail).empty();
  }
};

MailNotifier::MailNotifier(std::shared_ptr<Settings> settings, std::shared_ptr<ActivityLog> log,
                           std::shared_ptr<Desktop> desktop, std::shared_ptr<MailControls> controls,
                           std::string testLinkSite, MailServer server)
    : state_(std::make_unique<State>()) {
  state_->testLinkSite = std::move(testLinkSite);
  state_->settings = std::move(settings);
  state_->log = std::move(log);
  state_->desktop = std::move(desktop);
  state_->controls = std::move(controls);
  state_->endpoint.host = server.host;
  state_->endpoint.port = server.port;
}

MailNotifier::~MailNotifier() = default;

void MailNotifier::Connect() {
  State& s = *state_;
  const MailTexts& t = Texts();
  s.controls->SetConnectButton(t.connectBusy, false);
  const MailAccount account = s.ReadAccount();
  if (State::IsValid(account)) {
    bool opened = false;
    {
      std::lock_guard lock(s.mutex);
      opened = s.OpenLocked(account);
    }
    s.controls->SetMailAlertsEnabled(opened);
    s.desktop->ShowMessage(opened ? t.boxConnected : t.boxConnectFailed, t.title);
  }
  s.controls->SetConnectButton(t.connectIdle, true);
}

void MailNotifier::SendTest() {
  State& s = *state_;
  const MailTexts& t = Texts();
  s.controls->SetTestButton(t.testBusy, false);
  const std::string body =
      t.testBodyProduct + NowText() + t.testBodyLink + s.testLinkSite + t.testLinkPath;
  const std::string recipient = RemoveSpaces(s.settings->Text(Edit::Recipient));
  bool sent = false;
  {
    std::lock_guard lock(s.mutex);
    sent = s.SendLocked(t.testSubject, body, recipient);
  }
  s.desktop->ShowMessage(sent ? t.boxSent : t.boxSendFailed, t.title);
  s.controls->SetTestButton(t.testIdle, true);
}

void MailNotifier::SendAlert(const std::string& subject, const std::string& body,
                             const std::string& recipient) {
  State& s = *state_;
  const MailAccount account = s.ReadAccount();
  std::lock_guard lock(s.mutex);
  if (State::IsValid(account)) s.OpenLocked(account);
  // Sent whatever the open gave: with invalid settings through whatever connection exists.
  const bool sent = s.SendLocked(subject, body, recipient);
  s.Log(sent ? Texts().logSent : Texts().logSendFailed);
}

void MailNotifier::Disconnect() { state_->closeCount.fetch_add(1); }

}  // namespace korvelin
