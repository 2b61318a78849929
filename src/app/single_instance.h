// One program per product list: the first start of a list's program holds a lock and
// listens on a local socket; a later start of the same list finds the lock taken, asks the
// first one to come to the front, and ends. So two copies never overwrite each other's saves.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace korvelin {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // `listFolder`: the folder of the list file; the lock and the socket are named after it
  // and live in the user's runtime folder (so a read-only program folder works too).
  explicit SingleInstance(const QString& listFolder, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the first program of the list: it now holds the lock and listens.
  // False when another one runs; that one has been asked to come to the front (within a
  // bounded wait) and this program should end.
  bool Claim();

  // Gives up the lock and the socket (before the process ends without destructors).
  void Release();

  QString LockPath() const { return lockPath_; }
  QString SocketPath() const { return socketPath_; }

 signals:
  // Another start of the same list asked this program to show its window.
  void ActivationRequested();

 private:
  void OnConnection();

  QString lockPath_;
  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace korvelin
