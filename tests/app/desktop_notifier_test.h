// A notification service on a test bus: records every Notify call.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace korvelin::testing {

class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString appName;
    uint replacesId;
    QString icon, summary, body;
    QStringList actions;
    QVariantMap hints;
    int timeout;
  };
  std::vector<Call> calls;

 public slots:
  uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout) {
    calls.push_back({appName, replacesId, icon, summary, body, actions, hints, timeout});
    return static_cast<uint>(calls.size());
  }
};

}  // namespace korvelin::testing
