// Everything a check thread shares with the rest of the program. Check threads are detached
// and may outlive the window, so they hold this through a shared_ptr.
#pragma once

#include <atomic>
#include <memory>

#include "common/ports.h"
#include "common/settings.h"
#include "history/price_history.h"
#include "monitor/captcha_pause.h"
#include "monitor/marketplace.h"
#include "monitor/row_write_order.h"
#include "notify/alert_ledger.h"
#include "notify/mail_notifier.h"
#include "notify/sms_notifier.h"
#include "products/product_list.h"

namespace korvelin {

struct MonitorContext {
  std::shared_ptr<Settings> settings;
  std::shared_ptr<ActivityLog> log;
  std::shared_ptr<ProductList> products;
  std::shared_ptr<AlertLedger> ledger;
  std::shared_ptr<Desktop> desktop;
  std::shared_ptr<const MarketplaceTable> marketplaces;
  std::shared_ptr<MailNotifier> mail;
  std::shared_ptr<SmsNotifier> sms;
  // Every price a check reads is recorded here; none when null.
  std::shared_ptr<PriceHistory> history;

  std::atomic<int> MonitoringStopped{0};
  std::atomic<int> RunningCheckCount{0};
  // Keeps an older check of a row from writing over a later-started one.
  RowWriteOrder rowWrites;
  // Per marketplace (by country name), shared by every check.
  CaptchaPause captchaPause;
};

}  // namespace korvelin
