// Small parts of the shell: the timer rule, the text boundary, the balloon cut, the wave
// parser, addresses and the UI bridge.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <future>
#include <thread>

#include "app/alarm_player.h"
#include "app/period_timer.h"
#include "app/pumped_wait.h"
#include "app/qt_ports.h"
#include "app/text_convert.h"
#include "app/ui_bridge.h"
#include "common/code_page.h"
#include "notify/sound_alarm.h"

namespace korvelin {
namespace {

TEST(PeriodTimerTest, FollowsTheTimerRule) {
  PeriodTimer timer(QStringLiteral("t"));
  EXPECT_FALSE(timer.IsRunning());
  timer.SetPeriod(0);  // already 0: nothing
  EXPECT_EQ(timer.StartCount(), 0);
  timer.SetPeriod(5000);
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_EQ(timer.StartCount(), 1);
  timer.SetPeriod(5000);  // the same period keeps the running timer's phase
  EXPECT_EQ(timer.StartCount(), 1);
  timer.SetPeriod(4000);  // a new period starts it anew
  EXPECT_EQ(timer.StartCount(), 2);
  EXPECT_EQ(timer.Period(), 4000);
  timer.SetPeriod(-3);
  EXPECT_FALSE(timer.IsRunning());
  timer.SetPeriod(0);
  EXPECT_FALSE(timer.IsRunning());
  timer.SetPeriod(4000);
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_EQ(timer.StartCount(), 3);
  timer.SetPeriod(1);
  QSignalSpy fired(&timer, &PeriodTimer::Fired);
  EXPECT_TRUE(fired.wait(5000));
}

TEST(PumpedWaitTest, RunsTheEventLoopOnTheUiThreadOnly) {
  QObject target;
  bool ran = false;
  QMetaObject::invokeMethod(
      &target, [&] { ran = true; }, Qt::QueuedConnection);
  EXPECT_TRUE(PumpedWait(1));
  EXPECT_TRUE(ran);  // queued work was handled while waiting
  bool waited = true;
  std::thread([&] { waited = PumpedWait(1); }).join();
  EXPECT_FALSE(waited);  // no event loop there: the caller sleeps instead
}

TEST(TextConvertTest, CrossesTheWidgetBoundaryBothWays) {
  const std::string ansi = Ansi("爱他美1 - 价格：54.99");
  EXPECT_EQ(ToQString(ansi), QString::fromUtf8("爱他美1 - 价格：54.99"));
  EXPECT_EQ(ToAnsi(ToQString(ansi)), ansi);
  EXPECT_EQ(ToAnsi(QString()), "");
}

struct CutCase {
  std::string text;
  std::size_t max;
  std::string expected;
};

TEST(TextConvertTest, CutsAtTheLastWholeCharacter) {
  std::string chinese;
  for (int i = 0; i < 40; ++i) chinese += Ansi("价");  // 80 bytes
  const CutCase cases[] = {
      {chinese, 63, chinese.substr(0, 62)},  // never half a character
      {"A" + chinese, 63, ("A" + chinese).substr(0, 63)},
      {chinese.substr(0, 62), 63, chinese.substr(0, 62)},
      {std::string(300, 'x'), 255, std::string(255, 'x')},
      {"short", 63, "short"},
      {"", 63, ""},
  };
  for (const CutCase& c : cases) {
    const std::string cut = CutAnsiText(c.text, c.max);
    EXPECT_EQ(cut, c.expected);
    EXPECT_LE(cut.size(), c.max);
  }
  // A long product name as a balloon title: still readable text, 63 bytes at most.
  const std::string title = CutAnsiText(
      Ansi("德国爱他美婴幼儿配方奶粉一段八百克装六罐特惠组合限时抢购活动进行中请勿错过"), 63);
  EXPECT_LE(title.size(), 63u);
  EXPECT_EQ(ToQString(title),
            QString::fromUtf8("德国爱他美婴幼儿配方奶粉一段八百克装六罐特惠组合限时抢购活动进"));
}

TEST(WaveTest, ReadsTheAlarmSoundsFormat) {
  const std::optional<WaveSound> sound = ParseWave(AlarmSoundBytes());
  ASSERT_TRUE(sound.has_value());
  EXPECT_EQ(sound->channels, 2);
  EXPECT_EQ(sound->sampleRate, 22050);
  EXPECT_EQ(sound->bitsPerSample, 16);
  EXPECT_EQ(sound->pcm.size(), 119292u);
}

TEST(WaveTest, RefusesOtherData) {
  EXPECT_FALSE(ParseWave("").has_value());
  EXPECT_FALSE(ParseWave("RIFF\x10\0\0\0WAVEdata").has_value());
  std::string wave(AlarmSoundBytes());
  wave[20] = 3;  // format tag: not PCM
  EXPECT_FALSE(ParseWave(wave).has_value());
  // The player skips what it cannot play, silently.
  AlarmPlayer player;
  EXPECT_FALSE(player.Play("not a wave"));
}

TEST(AddressTest, WebAddressesStayAndFilePathsBecomeFileUrls) {
  EXPECT_EQ(AddressToUrl(QStringLiteral("http://www.amazon.de/dp/B00D8V0972")),
            QUrl(QStringLiteral("http://www.amazon.de/dp/B00D8V0972")));
  const QUrl file = AddressToUrl(QString::fromUtf8("/tmp/导出/监控列表.txt"));
  EXPECT_TRUE(file.isLocalFile());
  EXPECT_EQ(file.toLocalFile(), QString::fromUtf8("/tmp/导出/监控列表.txt"));
}

TEST(UiBridgeTest, HandsWorkToTheUiThreadUntilClosed) {
  QObject target;
  auto bridge = std::make_shared<UiBridge>(&target);
  EXPECT_TRUE(bridge->OnUiThread());
  int ran = 0;
  EXPECT_TRUE(bridge->Run([&] { ++ran; }));
  EXPECT_EQ(ran, 1);  // at once on the UI thread

  auto answer =
      std::async(std::launch::async, [bridge] { return bridge->Call<int>([] { return 42; }, -1); });
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000));
  EXPECT_EQ(answer.get(), 42);

  // Nobody answers: the worker gives up after its bound.
  auto timedOut = std::async(std::launch::async, [bridge] {
    return bridge->Call<int>([] { return 42; }, -1, std::chrono::milliseconds(20));
  });
  EXPECT_EQ(timedOut.get(), -1);
  QCoreApplication::processEvents();  // the late answer goes nowhere

  bridge->Close();
  EXPECT_FALSE(bridge->Run([&] { ++ran; }));
  std::thread([&] { EXPECT_EQ(bridge->Call<int>([] { return 42; }, -1), -1); }).join();
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace korvelin
