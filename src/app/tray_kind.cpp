#include "app/tray_kind.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QVariant>

namespace korvelin {

bool IsStatusNotifierTray(QDBusConnection bus) {
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
  if (!bus.interface()->isServiceRegistered(watcher)) return false;
  // The same question Qt asks before it uses the watcher for its tray icon.
  QDBusInterface properties(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
  return properties.property("IsStatusNotifierHostRegistered").toBool();
}

bool TogglesWindow(QSystemTrayIcon::ActivationReason why, bool statusNotifierTray) {
  if (statusNotifierTray) return why == QSystemTrayIcon::Trigger;
  return why == QSystemTrayIcon::DoubleClick;
}

}  // namespace korvelin
