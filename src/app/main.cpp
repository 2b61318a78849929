// Korvelin: watches Amazon prices in nine countries and raises alerts.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "app/main_window.h"
#include "app/pumped_wait.h"
#include "common/core_dumps.h"
#include "common/files.h"
#include "common/utilities.h"
#include "net/page_fetcher.h"

int main(int argc, char** argv) {
  korvelin::DisableCoreDumps();
  korvelin::InitHttp();
  QApplication application(argc, argv);
  // The window hides to the tray and message boxes come and go; only the shutdown steps end
  // the program.
  QApplication::setQuitOnLastWindowClosed(false);
  korvelin::SetPumpedDelayHook(korvelin::PumpedWait);

  korvelin::App app;
  QObject::connect(&app, &korvelin::App::ShutdownFinished, &application, &QApplication::quit,
                   Qt::QueuedConnection);
  app.Start(korvelin::ProgramDirectory());
  app.Window().show();
  const int code = application.exec();
  // The process ends at once: detached check, mail and alarm threads may still be running,
  // and they must not meet static objects (the cookie store, the code page tables) being
  // destroyed under them, so no destructors run from here. The list was saved after its
  // last change; nothing else is kept.
  std::fflush(nullptr);
  std::_Exit(code);
}
