#include "platform/message_windows/qt_message_pump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include "platform/message_pump.h"
#include "platform/message_windows/message_window.h"

namespace ql {
namespace {

// A quit requested while a long operation runs nested event loops (letting messages
// through) would only emit aboutToQuit once the outer loop returns, too late to stop
// that operation. The watcher lets the application handle its quit event first and
// marks it as terminating at once, unless the quit was refused (a window that would
// not close ignores the event).
class QuitWatcher : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Quit || watched != QCoreApplication::instance()) return false;
    event->accept();
    watched->event(event);
    if (event->isAccepted()) SetApplicationTerminating(true);
    return true;
  }
};

}  // namespace

void InstallQtMessagePump() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  // The agent lives on the calling thread, so a queued call to it runs there.
  static QPointer<QObject> agent;
  if (agent.isNull()) {
    agent = new QObject(app);
    app->installEventFilter(new QuitWatcher(agent.data()));
  }
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
