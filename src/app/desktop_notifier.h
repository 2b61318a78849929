// Balloons without a tray: the desktop's notification service (org.freedesktop.Notifications
// on the session bus), as GNOME without a tray extension shows them.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace korvelin {

// Sends one notice with the title, the message and an icon of the kind (0 none,
// 1 information, 2 warning, 3 error; any other value counts as 1). `displayMs` 0 leaves the
// time to the service. True when the notice went to a running notification service on the
// bus. The call does not wait for the service's answer.
bool SendDesktopNotification(const QString& title, const QString& message, int iconKind,
                             int displayMs, QDBusConnection bus = QDBusConnection::sessionBus());

}  // namespace korvelin
