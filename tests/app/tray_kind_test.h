// A StatusNotifierWatcher on a test bus that answers whether a host is registered.
#pragma once

#include <QObject>
#include <atomic>

namespace korvelin::testing {

class FakeWatcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)

 public:
  std::atomic<bool> host = false;
  bool HostRegistered() const { return host; }
};

}  // namespace korvelin::testing
