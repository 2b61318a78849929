// Plays RIFF/WAVE sound data from memory: one audio sink per playback, so playbacks overlap
// and are mixed by the sound system. Lives on the UI thread.
#pragma once

#include <QObject>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvelin {

struct WaveSound {
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;
  std::string_view pcm;  // the data chunk, inside the parsed bytes
};

// The PCM format and samples of a RIFF/WAVE file; nothing for any other data or format.
std::optional<WaveSound> ParseWave(std::string_view wave);

class AlarmPlayer : public QObject {
  Q_OBJECT

 public:
  explicit AlarmPlayer(QObject* parent = nullptr);
  // Starts one playback and returns at once; false (and silence) when the data is not
  // PCM WAVE or no audio output can be opened.
  bool Play(std::string_view wave);
  // Playbacks started and not yet ended (their sinks still exist).
  int ActivePlaybacks() const;

 private:
  int activePlaybacks_ = 0;
};

}  // namespace korvelin
