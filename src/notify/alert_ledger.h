// The alert ledger: lines of key + 13 expiry digits + CR LF that hold an alert of one kind
// back for 10 minutes. Kept in memory behind a lock and mirrored into 编辑框通知状态栏.
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace korvelin {

class AlertLedger {
 public:
  // Called with the whole new ledger text after every change, outside the lock.
  using Listener = std::function<void(const std::string& text)>;
  void SetListener(Listener listener);

  bool Contains(const std::string& key) const;
  void Add(const std::string& key);
  // Contains then Add as one atomic step: true when the key was free and is now taken.
  bool Claim(const std::string& key);
  void Sweep();
  void Clear();
  std::string Text() const;
  void SetText(std::string text);  // tests and the sweep of foreign lines

 private:
  mutable std::mutex mutex_;
  std::string text_;
  Listener listener_;
};

}  // namespace korvelin
