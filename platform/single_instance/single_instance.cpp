#include "platform/single_instance/single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <unistd.h>

namespace ql {
namespace {

constexpr int kHandOverMs = 2000;

QString LockPath(const std::filesystem::path& folder, const QString& program) {
  return QString::fromStdString((folder / (program.toStdString() + ".lock")).string());
}

}  // namespace

TJustOne::TJustOne(const std::filesystem::path& dataFolder, const QString& program, QObject* parent)
    : QObject(parent), socketName_(SocketName(dataFolder, program)), lock_(LockPath(dataFolder, program)) {
  lock_.setStaleLockTime(0);  // a lock is stale only when its process is gone
}

TJustOne::~TJustOne() {
  if (server_) server_->close();
}

QString TJustOne::SocketName(const std::filesystem::path& dataFolder, const QString& program) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(dataFolder, ec);
  if (ec) canonical = dataFolder;
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()), QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  return QStringLiteral("%1-%2-%3").arg(program).arg(getuid()).arg(QString::fromLatin1(hash));
}

bool TJustOne::Claim() {
  if (lock_.tryLock(0)) {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketName_);  // a socket file left by a crashed instance
    server_->listen(socketName_);
    connect(server_.get(), &QLocalServer::newConnection, this, &TJustOne::OnConnection);
    return true;
  }
  QLocalSocket socket;
  socket.connectToServer(socketName_);
  if (socket.waitForConnected(kHandOverMs)) {
    socket.write("raise\n");
    socket.waitForBytesWritten(kHandOverMs);
    socket.disconnectFromServer();
  }
  return false;
}

void TJustOne::OnConnection() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
      if (peer->readAll().contains("raise")) emit RaiseRequested();
    });
    if (peer->bytesAvailable() > 0 && peer->readAll().contains("raise")) emit RaiseRequested();
  }
}

}  // namespace ql
