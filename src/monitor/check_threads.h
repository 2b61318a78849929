// The threads the checks run on. A check used to start a thread of its own, which costs the
// kernel a new stack, a clone and an exit per check: at 1 000 checks a second that was a
// good part of a check's CPU time. Here a thread that finished its check waits a while for
// the next one instead of ending, so a busy monitor reuses a handful of threads. A new
// thread is made only when no thread is waiting, so there are never more threads than
// checks running at once (at most the scheduler's bound) plus the few waiting.
#pragma once

#include <chrono>
#include <functional>

namespace korvelin {

class CheckThreads {
 public:
  // The one set of check threads; it lives until the process ends (the threads are
  // detached and may run while the program ends).
  static CheckThreads& Shared();

  // Runs `work` on a waiting thread, or on a new one. False when there was no waiting
  // thread and no new one could be made; `work` is then not run.
  bool Run(std::function<void()> work);

  // How long a thread waits for its next check before it ends.
  static constexpr std::chrono::seconds kIdleLimit{30};

 private:
  CheckThreads() = default;
  void Serve(std::function<void()> first);

  struct State;
  State* state_ = nullptr;
};

}  // namespace korvelin
