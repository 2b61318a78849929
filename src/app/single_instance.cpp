#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace korvelin {

namespace {

constexpr int kWaitMs = 2000;  // for the running program's answer; it never blocks its UI
const QByteArray kShowRequest = QByteArrayLiteral("show\n");

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder;
}

}  // namespace

SingleInstance::SingleInstance(const QString& listFolder, QObject* parent) : QObject(parent) {
  QString canonical = QFileInfo(listFolder).canonicalFilePath();
  if (canonical.isEmpty()) canonical = QFileInfo(listFolder).absoluteFilePath();
  const QByteArray key =
      QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  const QString base = RuntimeFolder() + QStringLiteral("/korvelin-") + QString::fromLatin1(key);
  lockPath_ = base + QStringLiteral(".lock");
  socketPath_ = base + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance() { Release(); }

bool SingleInstance::Claim() {
  lock_ = std::make_unique<QLockFile>(lockPath_);
  // A lock left by a program that ended without removing it (killed, or crashed) is taken
  // over: QLockFile sees that its process is gone.
  if (lock_->tryLock(0)) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_);  // the socket file of an earlier run
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    server_->listen(socketPath_);
    return true;
  }
  lock_.reset();
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (socket.waitForConnected(kWaitMs)) {
    socket.write(kShowRequest);
    socket.waitForBytesWritten(kWaitMs);
    // The running program closes the connection once it has read the request.
    socket.waitForDisconnected(kWaitMs);
  }
  return false;
}

void SingleInstance::Release() {
  if (server_ != nullptr) {
    server_->close();
    delete server_;
    server_ = nullptr;
  }
  if (lock_) {
    lock_->unlock();
    lock_.reset();
  }
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray request = socket->readLine();
      socket->disconnectFromServer();
      if (request == kShowRequest) emit ActivationRequested();
    });
  }
}

}  // namespace korvelin
