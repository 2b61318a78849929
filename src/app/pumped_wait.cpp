#include "app/pumped_wait.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace korvelin {

bool PumpedWait(long long milliseconds) {
  QThread* thread = QThread::currentThread();
  if (thread == nullptr || thread->eventDispatcher() == nullptr) return false;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(std::clamp<long long>(milliseconds, 0, INT_MAX)));
  loop.exec();
  return true;
}

}  // namespace korvelin
