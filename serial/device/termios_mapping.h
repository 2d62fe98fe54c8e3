#pragma once
// The line settings block in termios terms and back. Only what termios can hold is
// mapped: speed, framing, CTS/RTS flow and XON/XOFF with its characters; the line
// control modes and flow limits are kept by the device layer itself.

#include <termios.h>

#include "serial/device/comm_state.h"

namespace ql {

// Fills t (raw mode, reads that return at once) from the settings; false for a speed
// termios has no code for, or framing out of range.
bool StateToTermios(const TCommState& state, termios& t);
// Reads speed, framing and flow back from t into state.
void StateFromTermios(const termios& t, TCommState& state);

}  // namespace ql
