// Balloons without a tray go to org.freedesktop.Notifications on a real (private) bus.
#include "app/desktop_notifier.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include "desktop_notifier_test.h"

namespace korvelin::testing {
namespace {

// A private session bus: a dbus-daemon of its own for the test.
class PrivateBus {
 public:
  PrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) return;
    process_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    if (!process_.waitForStarted(5000)) return;
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 5000) process_.waitForReadyRead(100);
    address_ = QString::fromUtf8(process_.readLine()).trimmed();
  }
  ~PrivateBus() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  QString Address() const { return address_; }

 private:
  QProcess process_;
  QString address_;
};

void Spin(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST(DesktopNotifier, ANoticeReachesTheNotificationService) {
  PrivateBus bus;
  ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon (package dbus) is needed";
  QDBusConnection service = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("service"));
  QDBusConnection program = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("program"));
  ASSERT_TRUE(service.isConnected());
  ASSERT_TRUE(program.isConnected());

  // No service yet: nothing is sent.
  EXPECT_FALSE(SendDesktopNotification(QStringLiteral("t"), QStringLiteral("m"),
                                       BalloonIcon::Warning, 0, program));

  FakeNotifications fake;
  ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                     QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

  const QString title = QString::fromUtf8("爱他美1 - 降价了！");
  const QString message = QString::fromUtf8("价格：54.99");
  EXPECT_TRUE(SendDesktopNotification(title, message, BalloonIcon::Warning, 0, program));
  EXPECT_TRUE(SendDesktopNotification(QStringLiteral("b"), QStringLiteral("c"),
                                      static_cast<BalloonIcon>(7), 3000, program));
  Spin([&] { return fake.calls.size() >= 2; });
  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[0].appName, QStringLiteral("Korvelin"));
  EXPECT_EQ(fake.calls[0].replacesId, 0u);
  EXPECT_EQ(fake.calls[0].icon, QStringLiteral("dialog-warning"));
  EXPECT_EQ(fake.calls[0].summary, title);
  EXPECT_EQ(fake.calls[0].body, message);
  EXPECT_EQ(fake.calls[0].timeout, -1);  // 0: the service's own time
  EXPECT_EQ(fake.calls[1].icon,
            QStringLiteral("dialog-information"));  // any other kind: information
  EXPECT_EQ(fake.calls[1].timeout, 3000);

  QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  QDBusConnection::disconnectFromBus(QStringLiteral("program"));
}

}  // namespace
}  // namespace korvelin::testing
