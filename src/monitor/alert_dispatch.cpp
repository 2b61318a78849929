#include "monitor/alert_dispatch.h"

#include <system_error>
#include <thread>

#include "common/date_time.h"
#include "common/text.h"
#include "monitor/monitor_texts.h"
#include "notify/sound_alarm.h"

namespace korvelin {

namespace texts = monitor_texts;

namespace {

constexpr int kBalloonDisplayMilliseconds = 0;

bool ChannelEnabled(MonitorContext& context, Tick box) {
  return context.settings->IsTicked(box) && context.MonitoringStopped.load() == 0;
}

// A channel goes ahead when it is enabled and its key was free and is now taken, in the
// ledger generation its check began in.
bool ChannelClaimed(MonitorContext& context, Tick box, const std::string& key,
                    std::uint64_t generation) {
  return ChannelEnabled(context, box) && context.ledger->Claim(key, generation);
}

}  // namespace

bool ShouldShowBalloon(MonitorContext& context) {
  Desktop& desktop = *context.desktop;
  if (!desktop.IsMainWindowVisible() || desktop.IsMainWindowMinimised()) return true;
  return !desktop.IsMainWindowActive() && context.MonitoringStopped.load() == 0 &&
         context.settings->IsTicked(Tick::Balloon);
}

void DispatchAlerts(const std::shared_ptr<MonitorContext>& context, const std::string& name,
                    const std::string& code, const Marketplace& marketplace) {
  DispatchAlerts(context, name, code, marketplace, context->ledger->Generation());
}

void DispatchAlerts(const std::shared_ptr<MonitorContext>& context, const std::string& name,
                    const std::string& code, const Marketplace& marketplace,
                    std::uint64_t ledgerGeneration) {
  MonitorContext& ctx = *context;

  if (ChannelClaimed(ctx, Tick::OpenPage, name + texts::OpenPageKeySuffix(), ledgerGeneration)) {
    ctx.desktop->OpenAddress(marketplace.ProductPageUrlPrefix + code);
  }

  if (ShouldShowBalloon(ctx)) {
    ctx.desktop->ShowTrayBalloon(name, texts::BalloonMessagePrefix() + NowText(),
                                 BalloonIcon::Warning, kBalloonDisplayMilliseconds);
  }

  if (ChannelClaimed(ctx, Tick::Sound, name + texts::SoundKeySuffix(), ledgerGeneration)) {
    // The alarm thread keeps the desktop alive by itself; nobody waits for it.
    std::shared_ptr<Desktop> desktop = ctx.desktop;
    try {
      std::thread([desktop] { SoundAlarm(*desktop); }).detach();
    } catch (const std::system_error&) {
      // No thread, no sound; the key stays taken like any failed channel.
    }
  }

  if (ChannelClaimed(ctx, Tick::Sms, texts::SmsKey(), ledgerGeneration)) {
    const std::string phone = ctx.settings->Text(Edit::Phone);
    if (ctx.sms) ctx.sms->Send(phone);
  }

  if (ChannelClaimed(ctx, Tick::MailAlerts, name + texts::MailKeySuffix(), ledgerGeneration)) {
    const std::string subject = name + texts::MailSubjectSuffix();
    const std::string body = texts::MailBodyProduct() + name + texts::MailBodyTime() + NowText() +
                             texts::MailBodyLink() + marketplace.ReviewsUrlPrefix + code;
    const std::string recipient = RemoveSpaces(ctx.settings->Text(Edit::Recipient));
    if (ctx.mail) ctx.mail->SendAlert(subject, body, recipient);
  }
}

}  // namespace korvelin
