#include "tools/ql-print/desk_forward.h"

#include <QLocalSocket>
#include <QProcess>

#include "platform/data_folder.h"
#include "platform/single_instance/single_instance.h"

namespace ql::print {
namespace {

constexpr int kAnswerMs = 2000;

}  // namespace

bool BringDeskForward(const std::filesystem::path& dataFolder, const std::filesystem::path& desk) {
  QLocalSocket socket;
  socket.connectToServer(TJustOne::SocketName(dataFolder, QStringLiteral("ql")));
  if (socket.waitForConnected(kAnswerMs)) {
    socket.write("raise\n");
    const bool sent = socket.waitForBytesWritten(kAnswerMs);
    socket.disconnectFromServer();
    if (sent) return true;
  }
  const std::filesystem::path program = desk.empty() ? ExecutableFolder() / "ql" : desk;
  return QProcess::startDetached(QString::fromStdString(program.string()),
                                 {QStringLiteral("--home"), QString::fromStdString(dataFolder.string())});
}

}  // namespace ql::print
