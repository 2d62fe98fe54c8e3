#pragma once
// Keeps one instance of a program per data folder. The first start takes a lock file in
// the data folder and listens on a local socket; a later start finds the lock taken,
// sends "raise" to that socket (so the first instance brings its window forward) and is
// told to end. A lock left by a crashed process is taken over.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

namespace ql {

class TJustOne : public QObject {
  Q_OBJECT

 public:
  // program names the lock file and the socket ("ql" gives "ql.lock").
  TJustOne(const std::filesystem::path& dataFolder, const QString& program, QObject* parent = nullptr);
  ~TJustOne() override;

  // True when this process is now the one instance. False when another holds the
  // folder; that one has then been asked to come forward.
  bool Claim();

  // The local socket name for a data folder: per user and per folder.
  static QString SocketName(const std::filesystem::path& dataFolder, const QString& program);

 signals:
  // Another start asked this instance to bring its window forward.
  void RaiseRequested();

 private:
  void OnConnection();

  QString socketName_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace ql
