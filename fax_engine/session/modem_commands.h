#pragma once
// Talking to the modem: commands for the machines (answers come through the response
// collector), the synchronous exchange used while preparing a session, class
// detection, initialisation, Class 1 capabilities, hanging up and port speed switching.

#include <string>

#include "fax_engine/session/fax_class.h"

namespace ql {

struct FaxSession;

// Waits 100 ms, writes the command and a CR one character at a time, and stops at the
// first write error, returning it. On success clears the response and arms the time-out
// trigger and the event timer for ReplyWait ticks.
int SendCommand(FaxSession& s, const std::string& text);
// The same without the wait first, for a command that must reach the modem at once: a
// receiver has about 75 ms after the far machine's DCS or CFR exchange to listen for
// the fast carrier that follows it.
int SendCommandNow(FaxSession& s, const std::string& text);

// Clears the response and re-arms the reply wait (time-out trigger and event timer).
void ClearResponse(FaxSession& s);
// Arms the session's time-out trigger for a number of ticks.
void ArmTimeout(FaxSession& s, int32_t ticks);

struct ExchangeResult {
  bool ok = false;
  std::string answer;  // the modem's answer: the line before the final one, else the final one
  std::string last;    // the last line read
};

// Sends a command and waits for its answer on the calling thread, with the dispatcher's
// notifications held and window messages let through (also during its 100 ms pause). Fails on ERROR, on a failed write
// and when no answer comes within ReplyWait ticks.
ExchangeResult ExchangeCommand(FaxSession& s, const std::string& text);

// Flushes both buffers, drops DTR and RTS for 500 ms, raises them and waits 500 ms.
void ResetModem(FaxSession& s);

// The classes the modem supports (a set over TFaxClass), from "AT+FCLASS=?". With
// reset, the modem is reset and the base init string sent first (two tries); the waits
// of that reset let window messages run, as the exchanges do.
TFaxClassSet DetectFaxClass(FaxSession& s, bool reset);
// The class fcDetect resolves to: Class 2.0, else 2, else 1, else fcUnknown.
TFaxClass ChooseFaxClass(TFaxClassSet supported);
// A session asked to detect its class (fcDetect or fcUnknown) detects it with a modem
// reset; false when the modem offers none (the class stays fcDetect).
bool SettleFaxClass(FaxSession& s);
// What an answer to "AT+FCLASS=?" says.
TFaxClassSet ParseFaxClasses(const std::string& answer);

// ModemInit (when set), then the base init string; marks the modem initialised.
bool InitialiseModem(FaxSession& s);

// Selects Class 1 and reads the modem's speeds ("AT+FTM=?" when sending, "AT+FRM=?"
// when receiving) into the local capabilities; SpeedIndex becomes the highest.
bool ReadClass1Capabilities(FaxSession& s, bool sending);

// Hangs up at the end of a send session, and of a receive session.
void HangUpSend(FaxSession& s);
void HangUpReceive(FaxSession& s);

// Port speed during initialisation (InitBaud) and for the call (NormalBaud).
void SwitchToInitBaud(FaxSession& s);
void SwitchToNormalBaud(FaxSession& s);

}  // namespace ql
