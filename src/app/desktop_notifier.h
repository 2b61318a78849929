// Balloons without a tray: the desktop's notification service (org.freedesktop.Notifications
// on the session bus), as GNOME without a tray extension shows them.
#pragma once

#include <QDBusConnection>
#include <QString>

#include "common/ports.h"

namespace korvelin {

// Sends one notice with the title, the message and an icon of the kind. `displayMs` 0 leaves the
// time to the service. True when the notice went to a running notification service on the
// bus. The call does not wait for the service's answer.
bool SendDesktopNotification(const QString& title, const QString& message, BalloonIcon icon,
                             int displayMs, QDBusConnection bus = QDBusConnection::sessionBus());

}  // namespace korvelin
