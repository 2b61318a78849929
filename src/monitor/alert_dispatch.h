// The alert dispatch: the five alert channels of a product found at or below its target, in
// this order: open the product page, tray balloon, sound alarm, SMS, mail.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "monitor/marketplace.h"
#include "monitor/monitor_context.h"

namespace korvelin {

// Runs on the check's thread and returns when every channel has been dealt with (the SMS and
// mail sends are waited for; the sound plays on a thread of its own). A channel runs when its
// tick is set and, read at that same moment, MonitoringStopped is 0; every channel but the
// balloon first claims its ledger key (name + "_链接|", name + "_报警|", "user_短信|",
// name + "_邮件|") and is skipped when the key is taken. Null sms/mail notifiers skip
// those two sends (after the claim).
void DispatchAlerts(const std::shared_ptr<MonitorContext>& context, const std::string& name,
                    const std::string& code, const Marketplace& marketplace);
// The same for a check that began when the ledger's generation was `ledgerGeneration`
// (AlertLedger::Generation): once a stop has cleared the ledger since, no key is claimed
// and no channel but the balloon runs.
void DispatchAlerts(const std::shared_ptr<MonitorContext>& context, const std::string& name,
                    const std::string& code, const Marketplace& marketplace,
                    std::uint64_t ledgerGeneration);

// The balloon rule: a window hidden to the tray or minimised always gets the balloon; a shown
// window only when it is not active, monitoring runs and 选择框气泡提醒 is ticked.
bool ShouldShowBalloon(MonitorContext& context);

}  // namespace korvelin
