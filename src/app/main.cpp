// Korvelin: watches Amazon prices in nine countries and raises alerts.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/pumped_wait.h"
#include "app/qt_chinese.h"
#include "app/single_instance.h"
#include "app/text_convert.h"
#include "common/core_dumps.h"
#include "common/utilities.h"
#include "net/page_fetcher.h"
#include "products/product_store.h"

int main(int argc, char** argv) {
  korvelin::DisableCoreDumps();
  // --help and --version answer on standard output, without a display.
  if (const auto code = korvelin::AnswerInfoArguments(argc, argv, stdout)) return *code;
  korvelin::InitHttp();
  QApplication application(argc, argv);
  // The window hides to the tray and message boxes come and go; only the shutdown steps end
  // the program.
  QApplication::setQuitOnLastWindowClosed(false);
  korvelin::SetPumpedDelayHook(korvelin::PumpedWait);
  korvelin::InstallQtChinese(application);

  // One program per list: a second start brings the running window to the front and ends
  // before it makes a window or reads the list.
  // The lock is named after the list's folder (UTF-8 path bytes, as the file system has them).
  const std::string listFolder = korvelin::ListDirectory();
  korvelin::SingleInstance instance(korvelin::PathToQString(listFolder));
  if (!instance.Claim()) return 0;

  korvelin::App app;
  QObject::connect(&instance, &korvelin::SingleInstance::ActivationRequested, &app.Window(),
                   &korvelin::MainWindow::ShowMainWindow);
  QObject::connect(&app, &korvelin::App::ShutdownFinished, &application, &QApplication::quit,
                   Qt::QueuedConnection);
  app.Start(listFolder);
  app.Window().show();
  const int code = application.exec();
  instance.Release();
  // The process ends at once: detached check, mail and alarm threads may still be running,
  // and they must not meet static objects (the cookie store, the code page tables) being
  // destroyed under them, so no destructors run from here. The list was saved after its
  // last change; nothing else is kept.
  std::fflush(nullptr);
  std::_Exit(code);
}
