#include "app/ui_bridge.h"

#include <QThread>

namespace korvelin {

UiBridge::UiBridge(QObject* target) : target_(target) {}

bool UiBridge::OnUiThread() const {
  std::lock_guard lock(mutex_);
  return !closed_ && target_ && target_->thread() == QThread::currentThread();
}

bool UiBridge::Run(std::function<void()> work) {
  if (OnUiThread()) {
    if (IsClosed()) return false;
    work();
    return true;
  }
  return Post(std::move(work));
}

bool UiBridge::Post(std::function<void()> work) {
  // The lock is held while posting, so Close() (taken before the target is destroyed)
  // cannot complete between the check and the post.
  std::lock_guard lock(mutex_);
  if (closed_ || !target_) return false;
  return QMetaObject::invokeMethod(target_.data(), std::move(work), Qt::QueuedConnection);
}

void UiBridge::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

bool UiBridge::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_ || !target_;
}

}  // namespace korvelin
