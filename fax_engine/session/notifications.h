#pragma once
// What a session tells its component, by messages to the component's hidden window.
// All but the finish message are sent and wait at most 1000 ms for the component; the
// finish message is posted. lParam is the session (0 for the error message).

#include <cstdint>

#include "fax_engine/session/fax_class.h"

namespace ql {

struct FaxSession;

inline constexpr uint32_t FaxMsgAbort = 0x7EA0;     // the component cancels (never sent to the window)
inline constexpr uint32_t FaxMsgNextFile = 0x7EA1;  // result nonzero: a next fax was given
inline constexpr uint32_t FaxMsgStatus = 0x7EA2;    // wParam 1 first status, 2 last, 0 otherwise
inline constexpr uint32_t FaxMsgLog = 0x7EA3;       // wParam the log code
inline constexpr uint32_t FaxMsgName = 0x7EA4;      // the component stored the name of the file received
inline constexpr uint32_t FaxMsgAccept = 0x7EA5;    // result 1 accept the call, 0 reject it
inline constexpr uint32_t FaxMsgError = 0x7EA6;     // wParam the error code
inline constexpr uint32_t FaxMsgFinish = 0x7EA7;    // wParam LastError; posted

inline constexpr int kNotifyTimeoutMs = 1000;

// The status message (also written to the session log).
void SendStatus(FaxSession& s, bool first, bool last);
// LastError takes the code, then the error message goes out.
void ReportError(FaxSession& s, int code);
void SendLog(FaxSession& s, TFaxLogCode code);
// Asks for the next fax to send; true when the component gave one.
bool AskNextFile(FaxSession& s);
// Asks whether to take an incoming call.
bool AskAccept(FaxSession& s);
// Asks the component to name the file being received.
void AskName(FaxSession& s);
void PostFinish(FaxSession& s);

}  // namespace ql
