#include "notify/alert_ledger.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "common/text.h"
#include "common/utilities.h"

namespace korvelin {

namespace {

const std::string kLineEnd = "\r\n";
constexpr std::int64_t kHoldMilliseconds = 600000;
// Lines this short cannot hold a key and an expiry; the sweep leaves them alone.
constexpr std::size_t kShortLineBytes = 10;

std::int64_t NowMillis() { return TextToInt64(NowMillisText()); }

}  // namespace

void AlertLedger::SetListener(Listener listener) {
  std::lock_guard lock(listenerMutex_);
  listener_ = std::move(listener);
}

bool AlertLedger::ContainsLocked(const std::string& key) const {
  // CR and LF never occur inside a double-byte character, so a line start found by bytes is a
  // real line start.
  if (text_.starts_with(key)) return true;
  return text_.find(kLineEnd + key) != std::string::npos;
}

void AlertLedger::AppendLocked(const std::string& key) {
  const std::int64_t expiry = NowMillis() + kHoldMilliseconds;
  text_ += key;
  text_ += RealToText(static_cast<double>(expiry));
  text_ += kLineEnd;
  ++version_;
}

void AlertLedger::Notify(std::uint64_t version, const std::string& text) {
  std::lock_guard lock(listenerMutex_);
  if (version <= notifiedVersion_) return;
  notifiedVersion_ = version;
  if (listener_) listener_(text);
}

bool AlertLedger::Contains(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return ContainsLocked(key);
}

void AlertLedger::Add(const std::string& key) {
  std::uint64_t version;
  std::string text;
  {
    std::lock_guard lock(mutex_);
    AppendLocked(key);
    version = version_;
    text = text_;
  }
  Notify(version, text);
}

bool AlertLedger::Claim(const std::string& key) { return Claim(key, Generation()); }

std::uint64_t AlertLedger::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

bool AlertLedger::Claim(const std::string& key, std::uint64_t generation) {
  std::uint64_t version;
  std::string text;
  {
    std::lock_guard lock(mutex_);
    if (generation != generation_ || ContainsLocked(key)) return false;
    AppendLocked(key);
    version = version_;
    text = text_;
  }
  Notify(version, text);
  return true;
}

void AlertLedger::Sweep() {
  // A snapshot: lines added during the sweep are looked at by the next one.
  const std::vector<std::string> lines = SplitText(Text(), kLineEnd);
  for (const std::string& line : lines) {
    if (line.size() <= kShortLineBytes) continue;
    const std::int64_t expiry = TextToInt64(TextAfterLast(line, "|"));
    if (NowMillis() < expiry) continue;
    std::uint64_t version;
    std::string text;
    {
      // Read again: an Add since the snapshot survives the removal.
      std::lock_guard lock(mutex_);
      std::string swept = ReplaceText(text_, line + kLineEnd);
      if (swept == text_) continue;
      text_ = std::move(swept);
      version = ++version_;
      text = text_;
    }
    Notify(version, text);
  }
}

void AlertLedger::Clear() {
  std::uint64_t version;
  {
    std::lock_guard lock(mutex_);
    text_.clear();
    ++generation_;
    version = ++version_;
  }
  Notify(version, std::string());
}

std::string AlertLedger::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void AlertLedger::SetText(std::string text) {
  std::uint64_t version;
  std::string copy;
  {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
    version = ++version_;
    copy = text_;
  }
  Notify(version, copy);
}

}  // namespace korvelin
