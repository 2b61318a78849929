// Korvelin: watches Amazon prices in nine countries and raises alerts.
#include <QApplication>

#include "app/main_window.h"
#include "app/pumped_wait.h"
#include "common/files.h"
#include "common/utilities.h"
#include "monitor/page_fetcher.h"

int main(int argc, char** argv) {
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
  // Detached check threads may still run when this returns; they reach no widget any more
  // (the window's hand-off is closed) and end with the process.
  return app.exec();
}
