// Korvelin: watches Amazon prices in nine countries and raises alerts.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/pumped_wait.h"
#include "common/core_dumps.h"
#include "common/files.h"
#include "common/utilities.h"
#include "net/page_fetcher.h"

int main(int argc, char** argv) {
  korvelin::DisableCoreDumps();
  korvelin::InitHttp();
  QApplication app(argc, argv);
  // The window hides to the tray and message boxes come and go; only the shutdown steps end
  // the program.
  QApplication::setQuitOnLastWindowClosed(false);
  korvelin::SetPumpedDelayHook(korvelin::PumpedWait);

  korvelin::MainWindow window;
  QObject::connect(&window, &korvelin::MainWindow::ShutdownFinished, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  window.Start(korvelin::ProgramDirectory());
  window.show();
  const int code = app.exec();
  // The process ends at once: detached check, mail and alarm threads may still be running,
  // and they must not meet static objects (the cookie store, the code page tables) being
  // destroyed under them, so no destructors run from here. The list was saved after its
  // last change; nothing else is kept.
  std::fflush(nullptr);
  std::_Exit(code);
}
