// Small actions the send states share.

#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {
constexpr int kRoomWanted = 4096;
}

SendState StateOf(const SendSession& s) { return static_cast<SendState>(s.state); }

bool IsClass1(const SendSession& s) { return s.common.FaxClass == fcClass1; }

Outcome Fail(SendSession& s, int code) {
  ReportError(s, code);
  return Outcome::kFailed;
}

void SetProgress(SendSession& s, int progress, bool force) {
  s.common.FaxProgress = static_cast<uint16_t>(progress);
  if (force) s.modem.forceStatus = true;
}

void ArmTransmit(SendSession& s) { ArmTimeout(s, s.modem.TransmitWait); }

void ArmRoom(SendSession& s) {
  if (s.common.outFreeTrigger > 0) ArmStatusTrigger(s.common.portHandle, s.common.outFreeTrigger, kRoomWanted, true);
}

void ArmDrained(SendSession& s) {
  if (s.common.drainedTrigger > 0) ArmStatusTrigger(s.common.portHandle, s.common.drainedTrigger, 0, true);
}

void UseLine(SendSession& s) { s.response.Clear(); }

void DiscardInput(SendSession& s) {
  const int port = s.common.portHandle;
  while (CharReady(port) == 1)
    if (ReadChar(port) < 0) break;
}

Outcome BusyHandling(SendSession& s) {
  FaxCommon& c = s.common;
  ++c.dialAttempt;
  if (c.DialAttempts != 0 && c.dialAttempt >= c.DialAttempts) {
    SendStatus(s, false, false);
    if (c.options & foAbortNoConnect) return Fail(s, ecFaxBusy);
    CloseApf(s);
    CloseTextCover(s);
    ReportError(s, ecFaxBusy);
    SendLog(s, lfaxTransmitFail);
    SetProgress(s, fpInitModem, false);
    return Outcome::kBusyGiveUp;
  }
  SetProgress(s, fpBusyWait);
  ArmTimeout(s, c.DialRetryWait);
  return Outcome::kBusyRetry;
}

}  // namespace ql
