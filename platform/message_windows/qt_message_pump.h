#pragma once
// Message windows over Qt's event loop. Called once on the user-interface thread after
// the QCoreApplication (or QApplication) exists: every message queued for a window of
// that thread wakes its event loop, ProcessPendingMessages() processes the Qt event
// queue once and runs the queued messages, and quitting the application marks it as
// terminating so waiting loops stop.

namespace ql {

void InstallQtMessagePump();

}  // namespace ql
