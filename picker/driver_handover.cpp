#include "picker/driver_handover.h"

#include <QLineEdit>
#include <QLocalSocket>
#include <QWidget>
#include <unistd.h>

namespace ql {
namespace {

QByteArray Line(const QString& text) { return text.toUtf8() + '\n'; }

QString OneLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

// Sends one request and waits for its answer.
bool Request(QLocalSocket& socket, const QString& request, int timeoutMs) {
  socket.write(Line(request));
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine().trimmed() == "OK";
}

}  // namespace

QString DriverDialogSocketName() {
  // Several sessions side by side (tests, nested desktops) each name their own.
  const QByteArray own = qgetenv("QUILLET_DRIVER_SOCKET");
  if (!own.isEmpty()) return QString::fromLocal8Bit(own);
  return QStringLiteral("%1-%2").arg(QString::fromLatin1(kDriverDialogTitle)).arg(getuid());
}

THandOverResult HandOverToDriverDialog(const QString& phone, const QString& name, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(DriverDialogSocketName());
  if (!socket.waitForConnected(timeoutMs)) return THandOverResult::hoNoDialog;
  const bool done = Request(socket, QStringLiteral("SETTEXT %1 %2").arg(kDriverPhoneControl).arg(OneLine(phone)), timeoutMs) &&
                    Request(socket, QStringLiteral("SETTEXT %1 %2").arg(kDriverNameControl).arg(OneLine(name)), timeoutMs) &&
                    Request(socket, QStringLiteral("RAISE"), timeoutMs);
  socket.disconnectFromServer();
  return done ? THandOverResult::hoDone : THandOverResult::hoRefused;
}

TDriverDialogListener::TDriverDialogListener(QWidget* dialog, QMap<int, QLineEdit*> controls, QObject* parent)
    : QObject(parent), dialog_(dialog) {
  for (auto it = controls.begin(); it != controls.end(); ++it) controls_.insert(it.key(), it.value());
}

TDriverDialogListener::~TDriverDialogListener() {
  if (server_) server_->close();
}

bool TDriverDialogListener::Listen() {
  const QString name = DriverDialogSocketName();
  // A listen with access options puts its socket in place by a rename, which would take
  // the name from a dialog that is still open: ask first whether one answers.
  {
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) return false;
  }
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) {
    // A socket file left by a dialog that crashed: nobody answered, so take it over.
    QLocalServer::removeServer(name);
    if (!server_->listen(name)) return false;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, &TDriverDialogListener::OnConnection);
  return true;
}

void TDriverDialogListener::OnConnection() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
      while (peer->canReadLine()) peer->write(Handle(QString::fromUtf8(peer->readLine()).trimmed()));
    });
  }
}

QByteArray TDriverDialogListener::Handle(const QString& line) {
  if (line == QStringLiteral("RAISE")) {
    if (dialog_ == nullptr) return "ERR\n";
    if (dialog_->isMinimized()) dialog_->showNormal();
    dialog_->raise();
    dialog_->activateWindow();
    return "OK\n";
  }
  if (line.startsWith(QStringLiteral("SETTEXT "))) {
    const int space = line.indexOf(QLatin1Char(' '), 8);
    bool ok = false;
    const int control = line.mid(8, space < 0 ? -1 : space - 8).toInt(&ok);
    const auto it = controls_.find(control);
    if (!ok || it == controls_.end() || it.value() == nullptr) return "ERR\n";
    it.value()->setText(space < 0 ? QString() : line.mid(space + 1));
    return "OK\n";
  }
  return "ERR\n";
}

}  // namespace ql
