#pragma once
// SIGTERM, SIGINT and SIGHUP end ql-print through its event loop (QCoreApplication::quit),
// so a dialog being closed or a listener being stopped still removes its work files.

namespace ql::print {

inline constexpr int kTerminatedStatus = 3;

void QuitOnTerminationSignals();
// A signal came: whatever runs should stop and clean up.
bool TerminationRequested();

}  // namespace ql::print
