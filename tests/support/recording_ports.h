// In-memory desktop ports for the core tests: an activity log that keeps its entries, a
// desktop that records every call (with the time of each), and mail controls that record
// what the mail notifier does to its widgets. Every call may come from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "common/code_page.h"
#include "common/ports.h"

namespace korvelin::testing {

// An ordered list of texts that any thread may add to.
class TextRecord {
 public:
  void Add(std::string item) {
    std::lock_guard lock(mutex_);
    items_.push_back(std::move(item));
  }
  std::vector<std::string> Items() const {
    std::lock_guard lock(mutex_);
    return items_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> items_;
};

class MemoryLog : public ActivityLog {
 public:
  void Append(const std::string& entry) override { entries_.Add(entry); }
  std::vector<std::string> Entries() const { return entries_.Items(); }
  // Waits, at most `limit`, until the log holds `count` entries; false on time-out. A check
  // gives back its running count before it appends its no-price entry, so a test that
  // waited for the count to reach 0 may still have entries on their way.
  bool WaitForEntries(std::size_t count, std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (entries_.Items().size() < count) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  TextRecord entries_;
};

struct DesktopCall {
  std::string kind;    // "open", "balloon", "play", "message"
  std::string text;    // address, balloon title, message text
  std::string detail;  // balloon message, message title
  BalloonIcon icon = BalloonIcon::None;
  int displayMilliseconds = 0;
  std::size_t waveBytes = 0;
  const char* waveData = nullptr;
  std::chrono::steady_clock::time_point at;
};

class RecordingDesktop : public Desktop {
 public:
  std::atomic<bool> visible{true};
  std::atomic<bool> minimised{false};
  std::atomic<bool> active{true};
  // Runs inside OpenAddress, after the call is recorded (lets a test act mid-dispatch).
  std::function<void()> onOpen;

  void OpenAddress(const std::string& address) override {
    DesktopCall call;
    call.kind = "open";
    call.text = address;
    Record(std::move(call));
    if (onOpen) onOpen();
  }
  bool ShowTrayBalloon(const std::string& title, const std::string& message, BalloonIcon icon,
                       int displayMilliseconds) override {
    DesktopCall call;
    call.kind = "balloon";
    call.text = title;
    call.detail = message;
    call.icon = icon;
    call.displayMilliseconds = displayMilliseconds;
    Record(std::move(call));
    return true;
  }
  void PlayAlarm(std::string_view wave) override {
    DesktopCall call;
    call.kind = "play";
    call.waveBytes = wave.size();
    call.waveData = wave.data();
    Record(std::move(call));
  }
  bool IsMainWindowVisible() override { return visible; }
  bool IsMainWindowMinimised() override { return minimised; }
  bool IsMainWindowActive() override { return active; }
  void ShowMessage(const std::string& text, const std::string& title) override {
    DesktopCall call;
    call.kind = "message";
    call.text = text;
    call.detail = title;
    Record(std::move(call));
  }

  std::vector<DesktopCall> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<DesktopCall> Calls(const std::string& kind) const {
    std::vector<DesktopCall> result;
    for (const DesktopCall& call : Calls()) {
      if (call.kind == kind) result.push_back(call);
    }
    return result;
  }
  // The addresses opened, in order.
  std::vector<std::string> Opened() const {
    std::vector<std::string> result;
    for (const DesktopCall& call : Calls("open")) result.push_back(call.text);
    return result;
  }
  // Forgets the calls recorded so far.
  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }
  // The message boxes shown, each as title + text in UTF-8.
  std::vector<std::string> Messages() const {
    std::vector<std::string> result;
    for (const DesktopCall& call : Calls("message")) {
      result.push_back(AnsiToUtf8(call.detail) + AnsiToUtf8(call.text));
    }
    return result;
  }
  // Waits until `count` calls of the kind were recorded; false when the wait ran out.
  bool WaitFor(const std::string& kind, std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      std::size_t n = 0;
      for (const DesktopCall& call : calls_) n += call.kind == kind;
      return n >= count;
    });
  }

 private:
  void Record(DesktopCall call) {
    call.at = std::chrono::steady_clock::now();
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<DesktopCall> calls_;
};

// Records each call as "connect <caption> on|off", "test <caption> on|off" or
// "alerts on|off", captions in UTF-8.
class RecordingMailControls : public MailControls {
 public:
  void SetConnectButton(const std::string& caption, bool enabled) override {
    calls_.Add("connect " + AnsiToUtf8(caption) + (enabled ? " on" : " off"));
  }
  void SetTestButton(const std::string& caption, bool enabled) override {
    calls_.Add("test " + AnsiToUtf8(caption) + (enabled ? " on" : " off"));
  }
  void SetMailAlertsEnabled(bool enabled) override {
    calls_.Add(enabled ? "alerts on" : "alerts off");
  }
  std::vector<std::string> Calls() const { return calls_.Items(); }

 private:
  TextRecord calls_;
};

}  // namespace korvelin::testing
