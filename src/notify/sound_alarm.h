// The audible alert: the built-in alarm sound played 8 times, 600 ms apart.
#pragma once

#include <string_view>

namespace korvelin {

class Desktop;

// The complete RIFF/WAVE file compiled into the program (119,384 bytes).
std::string_view AlarmSoundBytes();
// Runs on a thread of its own; takes about 4.8 s.
void SoundAlarm(Desktop& desktop);

}  // namespace korvelin
