#include "app/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace korvelin {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The icon names of the freedesktop icon naming rules, by icon kind.
QString IconName(BalloonIcon icon) {
  switch (icon) {
    case BalloonIcon::None:
      return QStringLiteral("korvelin");
    case BalloonIcon::Warning:
      return QStringLiteral("dialog-warning");
    case BalloonIcon::Error:
      return QStringLiteral("dialog-error");
    default:
      return QStringLiteral("dialog-information");
  }
}

}  // namespace

bool SendDesktopNotification(const QString& title, const QString& message, BalloonIcon icon,
                             int displayMs, QDBusConnection bus) {
  if (!bus.isConnected()) return false;
  QDBusConnectionInterface* names = bus.interface();
  if (names == nullptr || !names->isServiceRegistered(kService)) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.korvelin.Korvelin"));
  call << QStringLiteral("Korvelin") << 0u << IconName(icon) << title << message << QStringList()
       << hints << (displayMs > 0 ? displayMs : -1);
  return bus.send(call);
}

}  // namespace korvelin
