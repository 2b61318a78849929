// Alert e-mails through the QQ mail service's SMTP server (libcurl SMTP).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "common/ports.h"

namespace korvelin {

class Settings;

// Where the mail goes. The session always runs over TLS: STARTTLS on `port`; when that port
// cannot be reached, STARTTLS on `submissionPort`, then TLS from the start on
// `implicitTlsPort`.
struct MailServer {
  std::string host = "smtp.qq.com";
  int port = 25;
  int submissionPort = 587;
  int implicitTlsPort = 465;
  // Bounds each operation as a whole: the wait for the connection (another operation may
  // hold it), the login check and the send.
  long operationTimeoutMs = 30000;
};

class MailNotifier {
 public:
  // `testLinkSite`: scheme and host the test mail links to (the 德国 marketplace's site,
  // "http://www.amazon.de"); the caller that knows the marketplaces passes it.
  MailNotifier(std::shared_ptr<Settings> settings, std::shared_ptr<ActivityLog> log,
               std::shared_ptr<Desktop> desktop, std::shared_ptr<MailControls> controls,
               std::string testLinkSite, MailServer server = {});
  ~MailNotifier();
  void Connect();
  void SendTest();
  void SendAlert(const std::string& subject, const std::string& body, const std::string& recipient);
  // Closes the connection at program end; never waits for a mail in progress.
  void Disconnect();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace korvelin
