#include "monitor/alert_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "common/text.h"
#include "monitor/engine_test_context.h"
#include "notify/mail_notifier.h"
#include "notify/sms_notifier.h"
#include "notify/sound_alarm.h"
#include "support/fake_gateway.h"
#include "support/fake_smtp.h"

namespace korvelin {
namespace {

using testing::MakeTestEngine;
using testing::TestEngine;
using testing::WithoutStamp;

const std::string kHost = "127.0.0.1:8";

// The keys of the ledger's lines, in line order (each line without its expiry digits).
std::vector<std::string> LedgerKeys(const AlertLedger& ledger) {
  std::vector<std::string> keys;
  for (const std::string& line : SplitText(ledger.Text(), "\r\n")) {
    keys.push_back(line.substr(0, line.rfind('|') + 1));
  }
  return keys;
}

void TickOnly(TestEngine& engine, std::initializer_list<Tick> on) {
  for (Tick box : {Tick::Sound, Tick::MailAlerts, Tick::OpenPage, Tick::Balloon, Tick::Sms}) {
    engine.settings().SetTicked(box, false);
  }
  for (Tick box : on) engine.settings().SetTicked(box, true);
}

TEST(DispatchAlertsThreaded, ChannelsInOrderOpenBalloonSoundSmsMail) {
  TestEngine engine = MakeTestEngine(kHost);
  TickOnly(engine, {Tick::OpenPage, Tick::Balloon, Tick::Sound, Tick::Sms, Tick::MailAlerts});
  engine.desktop->visible = false;
  const std::string name = Ansi("奶粉");

  DispatchAlerts(engine.context, name, "B01", engine.marketplace("德国"));

  const std::vector<std::string> keys = {name + Ansi("_链接|"), name + Ansi("_报警|"),
                                         Ansi("user_短信|"), name + Ansi("_邮件|")};
  EXPECT_EQ(LedgerKeys(engine.ledger()), keys);
  ASSERT_TRUE(engine.desktop->WaitFor("play", 1, std::chrono::seconds(5)));
  const auto calls = engine.desktop->Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].kind, "open");
  EXPECT_EQ(calls[0].text, "http://" + kHost + "/dp/B01");
  EXPECT_EQ(calls[1].kind, "balloon");
  EXPECT_EQ(calls[2].kind, "play");
  EXPECT_EQ(calls[2].waveBytes, AlarmSoundBytes().size());
}

TEST(DispatchAlerts, EachSwitchAloneRunsOnlyItsChannel) {
  struct Case {
    Tick box;
    const char* key;  // UTF-8, without the name for the SMS key
    bool perProduct;
  };
  const Case cases[] = {{Tick::OpenPage, "_链接|", true},
                        {Tick::Sound, "_报警|", true},
                        {Tick::Sms, "user_短信|", false},
                        {Tick::MailAlerts, "_邮件|", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    TestEngine engine = MakeTestEngine(kHost);
    TickOnly(engine, {c.box});
    const std::string name = Ansi("奶粉");
    DispatchAlerts(engine.context, name, "B01", engine.marketplace("德国"));
    EXPECT_EQ(LedgerKeys(engine.ledger()),
              std::vector<std::string>{(c.perProduct ? name : "") + Ansi(c.key)});
    EXPECT_EQ(engine.desktop->Calls("open").size(), c.box == Tick::OpenPage ? 1u : 0u);
    EXPECT_TRUE(engine.desktop->Calls("balloon").empty());
    if (c.box == Tick::Sound) {
      EXPECT_TRUE(engine.desktop->WaitFor("play", 1, std::chrono::seconds(5)));
    }
  }
}

TEST(DispatchAlerts, LedgerHoldsEachChannelBack) {
  const char* suffixes[] = {"_链接|", "_报警|", "user_短信|", "_邮件|"};
  for (const char* suffix : suffixes) {
    SCOPED_TRACE(suffix);
    TestEngine engine = MakeTestEngine(kHost);
    TickOnly(engine, {Tick::OpenPage, Tick::Sound, Tick::Sms, Tick::MailAlerts});
    const std::string name = Ansi("奶粉");
    const std::string held = (std::string(suffix).starts_with("user") ? "" : name) + Ansi(suffix);
    engine.ledger().Add(held);

    DispatchAlerts(engine.context, name, "B01", engine.marketplace("德国"));

    std::vector<std::string> keys = LedgerKeys(engine.ledger());
    EXPECT_EQ(std::count(keys.begin(), keys.end(), held), 1);
    EXPECT_EQ(keys.size(), 4u);  // the three other channels went ahead
    EXPECT_EQ(engine.desktop->Calls("open").size(), held.ends_with(Ansi("_链接|")) ? 0u : 1u);
  }
}

TEST(DispatchAlerts, OneSmsKeyForAllProducts) {
  TestEngine engine = MakeTestEngine(kHost);
  TickOnly(engine, {Tick::Sms, Tick::MailAlerts});
  DispatchAlerts(engine.context, Ansi("甲"), "B01", engine.marketplace("德国"));
  DispatchAlerts(engine.context, Ansi("乙"), "B02", engine.marketplace("美国"));
  const std::vector<std::string> keys = {Ansi("user_短信|"), Ansi("甲_邮件|"), Ansi("乙_邮件|")};
  EXPECT_EQ(LedgerKeys(engine.ledger()), keys);
}

TEST(DispatchAlerts, ProductWhoseNameEndsAnotherNameIsNotHeldBack) {
  TestEngine engine = MakeTestEngine(kHost);
  TickOnly(engine, {Tick::OpenPage});
  DispatchAlerts(engine.context, Ansi("德国奶粉"), "B01", engine.marketplace("德国"));
  DispatchAlerts(engine.context, Ansi("奶粉"), "B02", engine.marketplace("德国"));
  const auto opened = engine.desktop->Calls("open");
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[1].text, "http://" + kHost + "/dp/B02");
}

TEST(DispatchAlerts, BalloonRule) {
  struct Case {
    const char* label;
    bool visible, minimised, active, boxTicked;
    int stopped;
    bool shown;
  };
  const Case cases[] = {
      {"hidden, box off, stopped", false, false, true, false, 1, true},
      {"minimised, box off, stopped", true, true, true, false, 1, true},
      {"shown and active", true, false, true, true, 0, false},
      {"shown, inactive, box on", true, false, false, true, 0, true},
      {"shown, inactive, box off", true, false, false, false, 0, false},
      {"shown, inactive, box on, stopped", true, false, false, true, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TestEngine engine = MakeTestEngine(kHost);
    TickOnly(engine, {});
    engine.settings().SetTicked(Tick::Balloon, c.boxTicked);
    engine.desktop->visible = c.visible;
    engine.desktop->minimised = c.minimised;
    engine.desktop->active = c.active;
    engine.context->MonitoringStopped = c.stopped;
    const std::string name = Ansi("奶粉");

    DispatchAlerts(engine.context, name, "B01", engine.marketplace("德国"));

    const auto balloons = engine.desktop->Calls("balloon");
    ASSERT_EQ(balloons.size(), c.shown ? 1u : 0u);
    if (c.shown) {
      EXPECT_EQ(balloons[0].text, name);
      const std::string prefix = Ansi("有货了！");
      ASSERT_TRUE(balloons[0].detail.starts_with(prefix));
      // The message is 有货了！ then the date-time text on the next line.
      EXPECT_EQ(WithoutStamp(balloons[0].detail.substr(prefix.size() + 2)), "");
      EXPECT_EQ(balloons[0].detail.substr(prefix.size(), 2), "\r\n");
      EXPECT_EQ(balloons[0].icon, BalloonIcon::Warning);
      EXPECT_EQ(balloons[0].displayMilliseconds, 0);
    }
    EXPECT_EQ(engine.ledger().Text(), "");  // the balloon has no key
  }
}

TEST(DispatchAlerts, StopDuringTheDispatchDisablesTheChannelsNotYetReached) {
  for (const bool hidden : {false, true}) {
    SCOPED_TRACE(hidden ? "hidden window" : "shown, inactive window");
    TestEngine engine = MakeTestEngine(kHost);
    TickOnly(engine, {Tick::OpenPage, Tick::Balloon, Tick::Sound, Tick::Sms, Tick::MailAlerts});
    engine.desktop->visible = !hidden;
    engine.desktop->active = false;
    engine.desktop->onOpen = [&] { engine.context->MonitoringStopped = 1; };
    const std::string name = Ansi("奶粉");

    DispatchAlerts(engine.context, name, "B01", engine.marketplace("德国"));

    EXPECT_EQ(LedgerKeys(engine.ledger()), std::vector<std::string>{name + Ansi("_链接|")});
    // Only a hidden window still gets its balloon after the stop.
    EXPECT_EQ(engine.desktop->Calls("balloon").size(), hidden ? 1u : 0u);
    EXPECT_EQ(engine.desktop->Calls("open").size(), 1u);
  }
}

// A stop empties the ledger before it sets MonitoringStopped; a dispatch that passes its
// channel test in between claims no key into the emptied ledger.
TEST(DispatchAlerts, NoClaimAfterTheStopEmptiedTheLedger) {
  TestEngine engine = MakeTestEngine(kHost);
  TickOnly(engine, {Tick::OpenPage, Tick::Sound, Tick::Sms, Tick::MailAlerts});
  engine.desktop->onOpen = [&] { engine.ledger().Clear(); };  // MonitoringStopped still 0
  DispatchAlerts(engine.context, Ansi("奶粉"), "B01", engine.marketplace("德国"));
  EXPECT_EQ(engine.ledger().Text(), "");
  EXPECT_EQ(engine.desktop->Calls("open").size(), 1u);
  EXPECT_TRUE(engine.desktop->Calls("play").empty());
}

TEST(DispatchAlerts, StoppedBeforehandRunsNoKeyedChannel) {
  TestEngine engine = MakeTestEngine(kHost);
  TickOnly(engine, {Tick::OpenPage, Tick::Sound, Tick::Sms, Tick::MailAlerts});
  engine.context->MonitoringStopped = 1;
  DispatchAlerts(engine.context, Ansi("奶粉"), "B01", engine.marketplace("德国"));
  EXPECT_EQ(engine.ledger().Text(), "");
  EXPECT_TRUE(engine.desktop->Calls("open").empty());
}

// The SMS and mail channels with the real notifiers against the loopback gateway and SMTP
// server: one SMS for two products (shared key), one mail each, SMS before mail, exact texts.
TEST(DispatchAlertsThreaded, RealSmsAndMailChannels) {
  testing::FakeGateway gateway;
  testing::FakeSmtp smtp;
  ASSERT_TRUE(gateway.Ok());
  ASSERT_TRUE(smtp.Ok());
  testing::TextRecord order;
  gateway.SetOnRequest([&](const testing::GatewayRequest&) { order.Add("sms"); });
  smtp.SetOnMessage([&](const testing::SmtpMessage&) { order.Add("mail"); });

  TestEngine engine = MakeTestEngine(kHost);
  TickOnly(engine, {Tick::Sms, Tick::MailAlerts});
  engine.settings().SetText(Edit::Phone, "+86 138 0013 8000");
  engine.settings().SetText(Edit::Sender, "user@qq.com");
  engine.settings().SetText(Edit::Password, "secret");
  engine.settings().SetText(Edit::Recipient, Ansi(" to@ qq.com　"));
  engine.context->sms =
      std::make_shared<SmsNotifier>(engine.log, SmsGateway{gateway.Endpoint(), "k3y"});
  engine.context->mail = std::make_shared<MailNotifier>(
      engine.context->settings, engine.log, engine.desktop,
      std::make_shared<testing::RecordingMailControls>(), MarketplaceTable().DefaultSite(),
      MailServer{"127.0.0.1", smtp.Port()});

  const std::string first = Ansi("爱他美1");
  const std::string second = Ansi("日本奶粉");
  DispatchAlerts(engine.context, first, "B00D8V0972", engine.marketplace("德国"));
  DispatchAlerts(engine.context, second, "B0JP", engine.marketplace("日本"));

  EXPECT_EQ(order.Items(), (std::vector<std::string>{"sms", "mail", "mail"}));
  const auto requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(testing::ParseForm(requests[0].body).at("phone"), "+8613800138000");

  const auto messages = smtp.Messages();
  ASSERT_EQ(messages.size(), 2u);
  struct Expected {
    std::string name;
    std::string link;
  };
  const Expected expected[] = {
      {first, "http://" + kHost + "/product-reviews/B00D8V0972"},
      {second, "http://" + kHost + "/product-reviews/B0JP"},  // the reviews page, not /gp/product/
  };
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(messages[i].recipients, std::vector<std::string>{"to@qq.com"});
    EXPECT_EQ(testing::DecodeMailSubject(messages[i].data), expected[i].name + Ansi(" - 有货啦！"));
    const std::string body = testing::DecodeMailBody(messages[i].data);
    const std::string head = Ansi("产品：") + expected[i].name + Ansi("\r\n时间：");
    const std::string tail = Ansi("\r\n链接：") + expected[i].link;
    ASSERT_TRUE(body.starts_with(head)) << AnsiToUtf8(body);
    ASSERT_TRUE(body.ends_with(tail)) << AnsiToUtf8(body);
    EXPECT_EQ(WithoutStamp(body.substr(head.size(), body.size() - head.size() - tail.size())), "");
  }
}

}  // namespace
}  // namespace korvelin
