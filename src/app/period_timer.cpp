#include "app/period_timer.h"

namespace korvelin {

PeriodTimer::PeriodTimer(const QString& name, QObject* parent) : QObject(parent) {
  setObjectName(name);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PeriodTimer::Fired);
}

void PeriodTimer::SetPeriod(int milliseconds) {
  if (milliseconds == period_) return;
  period_ = milliseconds;
  if (milliseconds <= 0) {
    timer_.stop();
  } else {
    timer_.start(milliseconds);  // start() on a running timer restarts it
    ++startCount_;
  }
}

}  // namespace korvelin
