// Hands work from any thread to the UI thread. Worker threads are detached and may outlive
// the main window, so every hand-off goes through this object: once the window closes, the
// bridge is closed and further work is dropped instead of reaching destroyed widgets.
#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace korvelin {

class UiBridge {
 public:
  // `target` lives on the UI thread; queued work runs in its thread and is dropped by Qt
  // when the target is deleted before it runs.
  explicit UiBridge(QObject* target);

  // True on the thread that owns the target (the UI thread).
  bool OnUiThread() const;
  // Runs `work` on the UI thread: at once when already there, else queued. False when closed.
  bool Run(std::function<void()> work);
  // Always queued, even from the UI thread (for work that must not run inside the caller).
  bool Post(std::function<void()> work);
  // Runs `work` on the UI thread and waits for its result at most `timeout`; `fallback`
  // when the bridge is closed, the wait times out, or the target went away meanwhile.
  template <typename T>
  T Call(std::function<T()> work, T fallback,
         std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
    if (OnUiThread()) return IsClosed() ? fallback : work();
    auto promise = std::make_shared<std::promise<T>>();
    std::future<T> result = promise->get_future();
    if (!Post([promise, work = std::move(work)] { promise->set_value(work()); })) return fallback;
    if (result.wait_for(timeout) != std::future_status::ready) return fallback;
    return result.get();
  }

  // Called by App at shutdown and when it is destroyed; afterwards nothing is handed on.
  void Close();
  bool IsClosed() const;

 private:
  mutable std::mutex mutex_;
  QPointer<QObject> target_;
  bool closed_ = false;
};

}  // namespace korvelin
