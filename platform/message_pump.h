#pragma once
// "Let pending messages run": long operations on the user-interface thread (converting,
// unpacking, printing, synchronous modem exchanges, table rebuilds) call
// ProcessPendingMessages() between steps so windows stay responsive and a Cancel
// button can be pressed. Without an installed pump (command-line tools, core tests)
// the call does nothing; the message-window layer installs one over Qt's event loop.

#include <functional>

namespace ql {

void ProcessPendingMessages();

// Installs the pump (an empty function removes it). Returns the previous one.
std::function<void()> SetMessagePump(std::function<void()> pump);

}  // namespace ql
