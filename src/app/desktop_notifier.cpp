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
QString IconName(int iconKind) {
  switch (iconKind) {
    case 0:
      return QStringLiteral("korvelin");
    case 2:
      return QStringLiteral("dialog-warning");
    case 3:
      return QStringLiteral("dialog-error");
    default:
      return QStringLiteral("dialog-information");
  }
}

}  // namespace

bool SendDesktopNotification(const QString& title, const QString& message, int iconKind,
                             int displayMs, QDBusConnection bus) {
  if (!bus.isConnected()) return false;
  QDBusConnectionInterface* names = bus.interface();
  if (names == nullptr || !names->isServiceRegistered(kService)) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.korvelin.Korvelin"));
  call << QStringLiteral("Korvelin") << 0u << IconName(iconKind) << title << message
       << QStringList() << hints << (displayMs > 0 ? displayMs : -1);
  return bus.send(call);
}

}  // namespace korvelin
