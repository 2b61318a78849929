// Korvelin: watches Amazon prices in nine countries and raises alerts.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "app/main_window.h"
#include "common/files.h"
#include "common/utilities.h"
#include "monitor/page_fetcher.h"

namespace {

// A wait that keeps a Qt event loop running on a thread that has one (the UI thread), so
// the window stays responsive; other threads sleep.
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

}  // namespace

int main(int argc, char** argv) {
  korvelin::InitHttp();
  QApplication app(argc, argv);
  // The window hides to the tray and message boxes come and go; only the shutdown steps end
  // the program.
  QApplication::setQuitOnLastWindowClosed(false);
  korvelin::SetPumpedDelayHook(PumpedWait);

  korvelin::MainWindow window;
  QObject::connect(&window, &korvelin::MainWindow::ShutdownFinished, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  window.Start(korvelin::ProgramDirectory());
  window.show();
  return app.exec();
}
