// Which tray activations toggle the window, and how a StatusNotifierItem tray is recognised.
#include "app/tray_kind.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "tray_kind_test.h"

namespace korvelin::testing {
namespace {

TEST(TrayKind, WhichActivationsToggleTheWindow) {
  using R = QSystemTrayIcon::ActivationReason;
  struct Case {
    R why;
    bool statusNotifier;
    bool toggles;
  };
  for (const Case& c : {Case{R::DoubleClick, false, true}, Case{R::Trigger, false, false},
                        Case{R::MiddleClick, false, false}, Case{R::Context, false, false},
                        Case{R::Trigger, true, true}, Case{R::DoubleClick, true, false},
                        Case{R::MiddleClick, true, false}, Case{R::Context, true, false}}) {
    EXPECT_EQ(TogglesWindow(c.why, c.statusNotifier), c.toggles)
        << int(c.why) << " " << c.statusNotifier;
  }
}

TEST(TrayKind, AStatusNotifierWatcherWithAHostIsAStatusNotifierTray) {
  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  ASSERT_FALSE(daemon.isEmpty()) << "dbus-daemon (package dbus) is needed";
  QProcess process;
  process.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                         QStringLiteral("--print-address=1")});
  ASSERT_TRUE(process.waitForStarted(5000));
  QElapsedTimer timer;
  timer.start();
  while (!process.canReadLine() && timer.elapsed() < 5000) process.waitForReadyRead(100);
  const QString address = QString::fromUtf8(process.readLine()).trimmed();
  {
    QDBusConnection tray = QDBusConnection::connectToBus(address, QStringLiteral("tray"));
    QDBusConnection program = QDBusConnection::connectToBus(address, QStringLiteral("program"));
    ASSERT_TRUE(program.isConnected());
    EXPECT_FALSE(IsStatusNotifierTray(program));  // no watcher: an XEmbed tray, if any

    // The watcher answers on a thread of its own: the question below waits for the answer.
    QThread answering;
    answering.start();
    auto* watcherObject = new FakeWatcher;
    FakeWatcher& watcher = *watcherObject;
    watcher.moveToThread(&answering);
    QObject::connect(&answering, &QThread::finished, watcherObject, &QObject::deleteLater);
    ASSERT_TRUE(tray.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                    QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(tray.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
    // A watcher without a host (no panel shows the items yet) is no tray.
    watcher.host = false;
    EXPECT_FALSE(IsStatusNotifierTray(program));
    watcher.host = true;
    EXPECT_TRUE(IsStatusNotifierTray(program));
    tray.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    answering.quit();
    answering.wait();
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("tray"));
  QDBusConnection::disconnectFromBus(QStringLiteral("program"));
  process.kill();
  process.waitForFinished(5000);
}

}  // namespace
}  // namespace korvelin::testing
