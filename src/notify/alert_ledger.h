// The alert ledger: lines of key + 13 expiry digits + CR LF that hold an alert of one kind
// back for 10 minutes. Kept in memory behind a lock and mirrored into 编辑框通知状态栏.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace korvelin {

class AlertLedger {
 public:
  // Called with the whole new ledger text after every change, outside the lock, on the
  // thread that made the change. Calls never overlap and never go back to an older text (a
  // text already overtaken by a later change is not handed over). The listener may read the
  // ledger but must not change it.
  using Listener = std::function<void(const std::string& text)>;
  void SetListener(Listener listener);

  // True when a line of the ledger starts with the whole key (a key ends with "|", so a
  // live entry of 新产品1 does not hold back 产品1).
  bool Contains(const std::string& key) const;
  // Appends key + expiry (now + 600000 ms, 13 digits) + CR LF.
  void Add(const std::string& key);
  // Contains then Add as one atomic step: true when the key was free and is now taken.
  bool Claim(const std::string& key);
  // The number of Clears so far. A worker reads it when it begins and claims with it.
  std::uint64_t Generation() const;
  // Claim, but only while the ledger has not been cleared since `generation` was read: the
  // stop that clears the ledger also ends every claim of the workers begun before it, so none
  // of them takes a key into the next run.
  bool Claim(const std::string& key, std::uint64_t generation);
  // Removes every line longer than 10 bytes whose expiry (the number after its last "|"; 0
  // when missing) is at or before now. A line is removed with every copy of it followed by
  // CR LF, so a last line without CR LF stays until Clear.
  void Sweep();
  void Clear();
  std::string Text() const;
  void SetText(std::string text);  // tests and the sweep of foreign lines

 private:
  // Lines start at the text's start and after every CR LF; a key matches a line that starts
  // with the whole key. Called with mutex_ held.
  bool ContainsLocked(const std::string& key) const;
  void AppendLocked(const std::string& key);
  // Hands the text of change number `version` to the listener unless a later change was
  // already handed over, so the mirror never goes back to an older text.
  void Notify(std::uint64_t version, const std::string& text);

  mutable std::mutex mutex_;
  std::string text_;
  std::uint64_t version_ = 0;     // counts changes; guarded by mutex_
  std::uint64_t generation_ = 0;  // counts Clears; guarded by mutex_

  std::mutex listenerMutex_;  // serialises listener calls; never held together with mutex_
  Listener listener_;
  std::uint64_t notifiedVersion_ = 0;
};

}  // namespace korvelin
