#include "app/alarm_player.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <cstring>

namespace korvelin {

namespace {

std::uint32_t Le32(std::string_view b, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t Le16(std::string_view b, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::optional<WaveSound> ParseWave(std::string_view wave) {
  if (wave.size() < 12 || wave.substr(0, 4) != "RIFF" || wave.substr(8, 4) != "WAVE") return {};
  WaveSound sound;
  bool haveFormat = false;
  std::size_t at = 12;
  while (at + 8 <= wave.size()) {
    const std::string_view id = wave.substr(at, 4);
    const std::size_t size = Le32(wave, at + 4);
    const std::size_t body = at + 8;
    if (size > wave.size() - body) {
      if (id != "data") return {};
      // A data chunk that claims more than the file holds: play what is there.
    }
    const std::size_t available = std::min(size, wave.size() - body);
    if (id == "fmt ") {
      if (available < 16 || Le16(wave, body) != 1) return {};  // PCM only
      sound.channels = Le16(wave, body + 2);
      sound.sampleRate = static_cast<int>(Le32(wave, body + 4));
      sound.bitsPerSample = Le16(wave, body + 14);
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) return {};
      sound.pcm = wave.substr(body, available);
      if (sound.channels <= 0 || sound.sampleRate <= 0 ||
          (sound.bitsPerSample != 8 && sound.bitsPerSample != 16 && sound.bitsPerSample != 32)) {
        return {};
      }
      return sound;
    }
    at = body + available + (available & 1);  // chunks are padded to even sizes
  }
  return {};
}

AlarmPlayer::AlarmPlayer(QObject* parent) : QObject(parent) {}

bool AlarmPlayer::Play(std::string_view wave) {
  const std::optional<WaveSound> sound = ParseWave(wave);
  if (!sound) return false;
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return false;
  QAudioFormat format;
  format.setChannelCount(sound->channels);
  format.setSampleRate(sound->sampleRate);
  format.setSampleFormat(sound->bitsPerSample == 8    ? QAudioFormat::UInt8
                         : sound->bitsPerSample == 16 ? QAudioFormat::Int16
                                                      : QAudioFormat::Int32);
  if (!device.isFormatSupported(format)) return false;

  // One sink and one buffer per playback; both go away when the playback ends or fails.
  auto* sink = new QAudioSink(device, format, this);
  ++activePlaybacks_;
  connect(sink, &QObject::destroyed, this, [this] { --activePlaybacks_; });
  auto* buffer = new QBuffer(sink);
  buffer->setData(QByteArray(sound->pcm.data(), static_cast<qsizetype>(sound->pcm.size())));
  buffer->open(QIODevice::ReadOnly);
  connect(sink, &QAudioSink::stateChanged, sink, [sink](QAudio::State state) {
    if (state == QAudio::IdleState || state == QAudio::StoppedState) {
      sink->stop();
      sink->deleteLater();
    }
  });
  sink->start(buffer);
  if (sink->error() != QAudio::NoError) {
    sink->deleteLater();
    return false;
  }
  return true;
}

int AlarmPlayer::ActivePlaybacks() const { return activePlaybacks_; }

}  // namespace korvelin
