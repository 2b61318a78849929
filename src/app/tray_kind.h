// What a click on the tray icon does, by the kind of tray that shows it.
#pragma once

#include <QDBusConnection>
#include <QSystemTrayIcon>

namespace korvelin {

// Whether the desktop's tray is a StatusNotifierItem host (KDE Plasma, GNOME with the
// AppIndicator extension): Qt then shows the icon through it, and it sends one activation
// for a click and no double-click. Otherwise the tray is an XEmbed one, which passes the
// mouse clicks on as they are.
bool IsStatusNotifierTray(QDBusConnection bus = QDBusConnection::sessionBus());

// Whether a tray activation toggles the window: a double-click in an XEmbed tray (a single
// click there does nothing), the one activation of a StatusNotifierItem tray.
bool TogglesWindow(QSystemTrayIcon::ActivationReason why, bool statusNotifierTray);

}  // namespace korvelin
