#include "monitor/check_threads.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace korvelin {

struct CheckThreads::State {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> queue;  // handed to waiting threads, in order
  int waiting = 0;                          // threads waiting for work
};

CheckThreads& CheckThreads::Shared() {
  // Never destroyed: detached threads use it until the process ends.
  static CheckThreads* const threads = [] {
    auto* made = new CheckThreads();
    made->state_ = new State();
    return made;
  }();
  return *threads;
}

bool CheckThreads::Run(std::function<void()> work) {
  {
    std::lock_guard lock(state_->mutex);
    // A waiting thread that no earlier hand-off has claimed takes the work.
    if (state_->waiting > static_cast<int>(state_->queue.size())) {
      state_->queue.push_back(std::move(work));
      state_->wake.notify_one();
      return true;
    }
  }
  try {
    std::thread([this, work = std::move(work)]() mutable { Serve(std::move(work)); }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void CheckThreads::Serve(std::function<void()> first) {
  std::function<void()> work = std::move(first);
  for (;;) {
    work();
    work = nullptr;  // whatever the check held goes before the wait
    std::unique_lock lock(state_->mutex);
    ++state_->waiting;
    const bool handed =
        state_->wake.wait_for(lock, kIdleLimit, [this] { return !state_->queue.empty(); });
    --state_->waiting;
    if (!handed) return;
    work = std::move(state_->queue.front());
    state_->queue.pop_front();
  }
}

}  // namespace korvelin
