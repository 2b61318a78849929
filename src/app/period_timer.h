// A window timer with a period: 0 or less stops it; a new positive period (re)starts it, so
// the first firing comes one full period later; setting the period it already has changes
// nothing. The three timers of the main window are of this kind.
#pragma once

#include <QObject>
#include <QTimer>

namespace korvelin {

class PeriodTimer : public QObject {
  Q_OBJECT

 public:
  explicit PeriodTimer(const QString& name, QObject* parent = nullptr);
  void SetPeriod(int milliseconds);
  int Period() const { return period_; }
  bool IsRunning() const { return timer_.isActive(); }
  // How often the timer was (re)started; a period that changes nothing leaves it as it is.
  int StartCount() const { return startCount_; }

 signals:
  void Fired();

 private:
  QTimer timer_;
  int period_ = 0;
  int startCount_ = 0;
};

}  // namespace korvelin
