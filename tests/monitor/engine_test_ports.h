// In-memory desktop ports for the engine tests: an activity log that keeps its entries and a
// desktop that records every call (with the time of each alarm playback).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/ports.h"

namespace korvelin::testing {

class MemoryLog : public ActivityLog {
 public:
  void Append(const std::string& entry) override {
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
  }
  std::vector<std::string> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

struct DesktopCall {
  std::string kind;    // "open", "balloon", "play", "message"
  std::string text;    // address, balloon title, message text
  std::string detail;  // balloon message, message title
  int iconKind = 0;
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
  bool ShowTrayBalloon(const std::string& title, const std::string& message, int iconKind,
                       int displayMilliseconds) override {
    DesktopCall call;
    call.kind = "balloon";
    call.text = title;
    call.detail = message;
    call.iconKind = iconKind;
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

}  // namespace korvelin::testing
