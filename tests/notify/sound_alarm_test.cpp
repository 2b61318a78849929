#include "notify/sound_alarm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string_view>

#include "support/recording_ports.h"

namespace korvelin {
namespace {

std::uint32_t U32(std::string_view bytes, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(std::string_view bytes, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

TEST(AlarmSoundBytes, IsTheWaveFileOfTheDesign) {
  const std::string_view wave = AlarmSoundBytes();
  ASSERT_EQ(wave.size(), 119384u);
  EXPECT_EQ(wave.substr(0, 4), "RIFF");
  EXPECT_EQ(U32(wave, 4), 119376u);
  EXPECT_EQ(wave.substr(8, 4), "WAVE");
  EXPECT_EQ(wave.substr(12, 4), "fmt ");
  EXPECT_EQ(U32(wave, 16), 16u);
  EXPECT_EQ(U16(wave, 20), 1);  // PCM
  EXPECT_EQ(U16(wave, 22), 2);
  EXPECT_EQ(U32(wave, 24), 22050u);
  EXPECT_EQ(U32(wave, 28), 88200u);
  EXPECT_EQ(U16(wave, 32), 4);
  EXPECT_EQ(U16(wave, 34), 16);
  EXPECT_EQ(wave.substr(36, 4), "data");
  EXPECT_EQ(U32(wave, 40), 119292u);
  const std::size_t list = 44 + 119292;
  EXPECT_EQ(wave.substr(list, 4), "LIST");
  EXPECT_EQ(list + 8 + U32(wave, list + 4), wave.size());
}

// Runs the whole alarm (about 4.8 s) on the calling thread.
TEST(SoundAlarm, PlaysEightTimesAboutSixHundredMillisecondsApart) {
  testing::RecordingDesktop desktop;
  const auto started = std::chrono::steady_clock::now();
  SoundAlarm(desktop);
  const auto ended = std::chrono::steady_clock::now();

  const auto plays = desktop.Calls("play");
  ASSERT_EQ(plays.size(), 8u);
  EXPECT_EQ(desktop.Calls().size(), 8u);
  for (std::size_t i = 0; i < plays.size(); ++i) {
    EXPECT_EQ(plays[i].waveData, AlarmSoundBytes().data());
    EXPECT_EQ(plays[i].waveBytes, AlarmSoundBytes().size());
    if (i > 0) {
      EXPECT_GE(plays[i].at - plays[i - 1].at, std::chrono::milliseconds(550)) << i;
    }
  }
  EXPECT_LE(plays.front().at - started, std::chrono::milliseconds(100));
  // The last pause follows the last playback before the alarm returns.
  EXPECT_GE(ended - plays.back().at, std::chrono::milliseconds(550));
}

}  // namespace
}  // namespace korvelin
