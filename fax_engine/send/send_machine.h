#pragma once
// The send machine: sends one fax after another, as long as its component names a
// next one, through a Class 1, Class 2 or Class 2.0 modem. For each fax it selects the
// class, dials (redialling a busy number), negotiates, sends every page (a cover first,
// then the pages of the fax file) with a header line drawn on top, handles the far
// machine's answer to each page and hangs up.
//
// PrepareSend runs inside the component's start call; SendMachine is the procedure the
// dispatcher calls for the session's triggers (and the component for a cancel).

#include <cstdint>

namespace ql {

struct FaxSession;

// Readies the modem: detects the class if asked, sends the init strings, reads a Class 1
// modem's speeds. Failures are reported (-8071) and leave LastError set.
int PrepareSend(FaxSession& s);

void SendMachine(uintptr_t window, uint32_t msg, uintptr_t wParam, intptr_t lParam);

}  // namespace ql
