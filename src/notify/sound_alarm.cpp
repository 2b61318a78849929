#include "notify/sound_alarm.h"

#include "common/ports.h"
#include "common/utilities.h"

namespace korvelin {

namespace {
constexpr int kPlaybacks = 8;
constexpr long long kPauseMilliseconds = 600;
}  // namespace

void SoundAlarm(Desktop& desktop) {
  // Each pause counts from the start of a playback, so the playbacks overlap (each lasts
  // about 1.35 s); a playback the device cannot take is skipped by the desktop.
  for (int i = 0; i < kPlaybacks; ++i) {
    desktop.PlayAlarm(AlarmSoundBytes());
    PumpedDelay(kPauseMilliseconds);
  }
}

}  // namespace korvelin
