#pragma once
// The receive machine: keeps a fax modem waiting for calls, counts the rings, answers,
// negotiates (Class 2/2.0 through the modem's reports, Class 1 through T.30 frames and
// the training check), asks its component whether to take the call and for a file
// name, writes each page into an APF file as it arrives, and after each call waits for
// the next one or ends the run (OneFax, ExitOnError, a cancel).
//
// PrepareReceive runs inside the component's start call; ReceiveMachine is the
// procedure the dispatcher calls for the session's triggers (and the component for a
// cancel).

#include <cstdint>

namespace ql {

struct FaxSession;

// Readies the modem: detects the class if asked (-8071 when none is found), sends the
// init strings, selects the class and, for Class 2/2.0, the local ID and data-call
// answering, and reads a Class 1 modem's receive speeds.
int PrepareReceive(FaxSession& s);

void ReceiveMachine(uintptr_t window, uint32_t msg, uintptr_t wParam, intptr_t lParam);

}  // namespace ql
