#pragma once
// Line settings from a definition string, in either of the two usual forms:
//   "9600,n,8,1" (optionally "COM1:9600,n,8,1", a trailing ",x" for XON/XOFF or ",p"
//   for hardware flow), or
//   "baud=9600 parity=N data=8 stop=1 [xon=on] [octs=on] [dtr=on|off|hs] [rts=on|off|hs]".
// Fields not named keep their value. Returns false for a malformed string.

#include "serial/device/comm_state.h"

namespace ql {

bool BuildCommState(const char* definition, TCommState& state);

}  // namespace ql
