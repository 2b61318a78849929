// SMS notices through a Textbelt-compatible HTTP gateway.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "net/page_fetcher.h"

namespace korvelin {

class ActivityLog;

struct SmsGateway {
  std::string endpoint;  // POST phone, message, key
  std::string key;
  // The whole exchange ends after this, however the gateway answers (a trickling or
  // stalled gateway cannot hold the check that sends the notice).
  std::chrono::milliseconds deadline = kWholeTransferDeadline;
};
// The gateway this build was configured with (CMake cache variables).
SmsGateway DefaultSmsGateway();

// Decodes a gateway reply's escaped text; code page 936 result.
std::string UnescapeText(std::string_view text);
// What Send logs of a gateway reply (after the time digits): the reply's text member
// decoded or, when that gives nothing, the whole reply decoded.
std::string SmsReplyLogText(std::string_view reply);

class SmsNotifier {
 public:
  SmsNotifier(std::shared_ptr<ActivityLog> log, SmsGateway gateway = DefaultSmsGateway());
  void Send(const std::string& phone);

 private:
  std::shared_ptr<ActivityLog> log_;
  SmsGateway gateway_;
};

}  // namespace korvelin
