#include "notify/mail_notifier.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

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
  // Why a login check failed, when it is the server's security.
  std::string logNoTls = Ansi("\r\n邮件服务器不支持加密连接\r\n");
  std::string logBadCertificate = Ansi("\r\n邮件服务器证书无效\r\n");
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

// The connection's lock: one operation at a time, waited for only until a deadline. A
// timed mutex would do; this form keeps to a mutex and a condition variable, which every
// thread checker knows (gcc 12's ThreadSanitizer does not follow pthread_mutex_clocklock).
class ConnectionLock {
 public:
  void lock() {
    std::unique_lock guard(mutex_);
    freed_.wait(guard, [this] { return !held_; });
    held_ = true;
  }
  template <typename TimePoint>
  bool try_lock_until(const TimePoint& deadline) {
    std::unique_lock guard(mutex_);
    if (!freed_.wait_until(guard, deadline, [this] { return !held_; })) return false;
    held_ = true;
    return true;
  }
  void unlock() {
    {
      std::lock_guard guard(mutex_);
      held_ = false;
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  bool held_ = false;
};

}  // namespace

struct MailNotifier::State {
  std::shared_ptr<Settings> settings;
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<Desktop> desktop;
  std::shared_ptr<MailControls> controls;
  std::string testLinkSite;
  MailServer server;

  // Serialises every use of the connection and the stored sender: an open and the send
  // that follows it in SendAlert happen as one step, so concurrent alerts never mix. Waited
  // for only until the operation's deadline: a stalled server holds one operation, not all.
  ConnectionLock mutex;
  std::string storedSender;
  // libcurl speaks SMTP one session per mail, so the open connection is the login that the
  // last successful open verified, and the port it reached; every send logs in again.
  struct Session {
    SmtpLogin login;
    SmtpEndpoint endpoint;
  };
  std::optional<Session> connection;
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

  using Clock = std::chrono::steady_clock;
  Clock::time_point Deadline() const {
    return Clock::now() + std::chrono::milliseconds(server.operationTimeoutMs);
  }
  // The endpoint for one session, bounded by what is left until the deadline; nullopt when
  // nothing is left.
  static std::optional<SmtpEndpoint> Bounded(SmtpEndpoint endpoint, Clock::time_point deadline) {
    const long left = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (left <= 0) return std::nullopt;
    endpoint.totalTimeoutMs = std::min(endpoint.totalTimeoutMs, left);
    endpoint.connectTimeoutMs = std::min(endpoint.connectTimeoutMs, left);
    return endpoint;
  }
  // The ports in the order they are tried.
  std::vector<SmtpEndpoint> Routes() const {
    std::vector<SmtpEndpoint> routes;
    for (const auto& [port, implicitTls] :
         {std::pair{server.port, false}, std::pair{server.submissionPort, false},
          std::pair{server.implicitTlsPort, true}}) {
      SmtpEndpoint endpoint;
      endpoint.host = server.host;
      endpoint.port = port;
      endpoint.implicitTls = implicitTls;
      endpoint.totalTimeoutMs = server.operationTimeoutMs;
      routes.push_back(endpoint);
    }
    return routes;
  }

  // Logs the attempt, stores the sender and opens a connection for it: the first port that
  // can be reached decides. A check refused for the server's security logs why. Caller holds
  // mutex.
  bool OpenLocked(const MailAccount& account, Clock::time_point deadline) {
    Log(Texts().logConnecting);
    storedSender = account.sender;
    connection.reset();  // opening closes the previous connection; a failed open leaves none
    const unsigned closesBefore = closeCount.load();
    const SmtpLogin login{account.sender, account.password};
    SmtpResult result = SmtpResult::Failed(0, "no time left", false);
    for (const SmtpEndpoint& route : Routes()) {
      const std::optional<SmtpEndpoint> endpoint = Bounded(route, deadline);
      if (!endpoint) break;
      result = CheckSmtpLogin(*endpoint, login);
      if (result.Ok()) {
        connection = Session{login, route};
        openedAtClose = closesBefore;
      }
      if (result.Failure() != SmtpFailure::kUnreachable) break;
    }
    if (result.Failure() == SmtpFailure::kNoTls) Log(Texts().logNoTls);
    if (result.Failure() == SmtpFailure::kBadCertificate) Log(Texts().logBadCertificate);
    Log(result.Ok() ? Texts().logConnected : Texts().logConnectFailed);
    return result.Ok();
  }

  // True when the mail went out through the open connection. Caller holds mutex.
  bool SendLocked(const std::string& subject, const std::string& body, const std::string& recipient,
                  Clock::time_point deadline) {
    if (!connection || openedAtClose != closeCount.load()) return false;
    const std::optional<SmtpEndpoint> endpoint = Bounded(connection->endpoint, deadline);
    if (!endpoint) return false;
    const std::string mail = ComposeMail(storedSender, recipient, subject, body);
    return SendSmtpMail(*endpoint, connection->login, storedSender, recipient, mail).empty();
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
  state_->server = std::move(server);
}

MailNotifier::~MailNotifier() = default;

void MailNotifier::Connect() {
  State& s = *state_;
  const MailTexts& t = Texts();
  s.controls->SetConnectButton(t.connectBusy, false);
  const MailAccount account = s.ReadAccount();
  if (State::IsValid(account)) {
    bool opened = false;
    const auto deadline = s.Deadline();
    std::unique_lock lock(s.mutex, std::defer_lock);
    if (lock.try_lock_until(deadline)) {
      opened = s.OpenLocked(account, deadline);
      lock.unlock();
    } else {
      // Another operation holds the connection for all of this one's time.
      s.Log(t.logConnecting);
      s.Log(t.logConnectFailed);
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
  const auto deadline = s.Deadline();
  std::unique_lock lock(s.mutex, std::defer_lock);
  if (lock.try_lock_until(deadline)) {
    sent = s.SendLocked(t.testSubject, body, recipient, deadline);
    lock.unlock();
  }
  s.desktop->ShowMessage(sent ? t.boxSent : t.boxSendFailed, t.title);
  s.controls->SetTestButton(t.testIdle, true);
}

void MailNotifier::SendAlert(const std::string& subject, const std::string& body,
                             const std::string& recipient) {
  State& s = *state_;
  const MailAccount account = s.ReadAccount();
  // The operation's time-out bounds the wait for the connection too: an alert that cannot
  // have it in time fails like a send that failed.
  const auto deadline = s.Deadline();
  std::unique_lock lock(s.mutex, std::defer_lock);
  if (!lock.try_lock_until(deadline)) {
    s.Log(Texts().logSendFailed);
    return;
  }
  if (State::IsValid(account)) s.OpenLocked(account, deadline);
  // Sent whatever the open gave: with invalid settings through whatever connection exists.
  const bool sent = s.SendLocked(subject, body, recipient, deadline);
  s.Log(sent ? Texts().logSent : Texts().logSendFailed);
}

void MailNotifier::Disconnect() { state_->closeCount.fetch_add(1); }

}  // namespace korvelin
