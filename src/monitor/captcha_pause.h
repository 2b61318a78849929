// The politeness pause after a captcha: the checks of a marketplace that answered with a
// captcha stop fetching for 1 minute, doubling with each further captcha up to 30 minutes;
// the first reply that is not a captcha ends the pause and the doubling.
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace korvelin {

class CaptchaPause {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kFirstMinutes = 1;
  static constexpr int kLongestMinutes = 30;

  // A captcha from the marketplace: the minutes of the pause that starts now, or 0 when a
  // pause is already running (a check that was under way when it began brings no doubling).
  int OnCaptcha(const std::string& country, Clock::time_point now = Clock::now()) {
    std::lock_guard lock(mutex_);
    State& state = states_[country];
    if (now < state.until) return 0;
    state.minutes =
        state.minutes == 0 ? kFirstMinutes : std::min(state.minutes * 2, kLongestMinutes);
    state.since = now;
    state.until = now + std::chrono::minutes(state.minutes);
    return state.minutes;
  }
  // A reply that is not a captcha, to a check that began at `checkStarted`: the pause, and
  // its doubling, end, unless the check began before the pause did (its request went out
  // before the captcha came, so it says nothing of the marketplace's mood since).
  void OnOtherReply(const std::string& country, Clock::time_point checkStarted = Clock::now()) {
    std::lock_guard lock(mutex_);
    const auto found = states_.find(country);
    if (found != states_.end() && checkStarted >= found->second.since) states_.erase(found);
  }
  bool Paused(const std::string& country, Clock::time_point now = Clock::now()) const {
    std::lock_guard lock(mutex_);
    const auto found = states_.find(country);
    return found != states_.end() && now < found->second.until;
  }

 private:
  struct State {
    int minutes = 0;
    Clock::time_point since{};
    Clock::time_point until{};
  };
  mutable std::mutex mutex_;
  std::map<std::string, State> states_;
};

}  // namespace korvelin
