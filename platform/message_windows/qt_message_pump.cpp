#include "platform/message_windows/qt_message_pump.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include "platform/message_pump.h"
#include "platform/message_windows/message_window.h"

namespace ql {

void InstallQtMessagePump() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  // The agent lives on the calling thread, so a queued call to it runs there.
  static QPointer<QObject> agent;
  if (agent.isNull()) agent = new QObject(app);
  QPointer<QObject> target = agent;
  SetThreadMessageWaker([target] {
    if (!target.isNull())
      QMetaObject::invokeMethod(target.data(), [] { DispatchPendingMessages(); }, Qt::QueuedConnection);
  });
  SetMessagePump([] {
    QCoreApplication::processEvents();
    DispatchPendingMessages();
  });
  QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { SetApplicationTerminating(true); });
}

}  // namespace ql
