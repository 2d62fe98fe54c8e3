// Send states at the end of a fax and of the run: a fax sent, the run over, an error.

#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/session_run.h"
#include "fax_engine/session/status_texts.h"

namespace ql {

namespace {

void EndRun(SendSession& s) {
  SendStatus(s, false, true);
  FinishSession(s);
  s.modem.modemInitialised = false;
}

}  // namespace

Outcome FaxDone(SendSession& s, const StateInput&) {
  CloseTextCover(s);
  CloseApf(s);
  s.retransmissions = 0;
  s.common.SendingCover = false;
  SetProgress(s, fpFinished);
  SendLog(s, lfaxTransmitOk);
  SwitchToInitBaud(s);
  return Outcome::kNextFax;
}

Outcome AllDone(SendSession& s, const StateInput&) {
  EndRun(s);
  return Outcome::kFinished;
}

Outcome ErrorState(SendSession& s, const StateInput&) {
  CloseApf(s);
  CloseTextCover(s);
  s.pendingOutput.clear();
  SendLog(s, lfaxTransmitFail);
  HangUpSend(s);
  SwitchToInitBaud(s);
  const uint16_t options = s.common.options;
  if ((options & (foExitOnError | foAbortNoConnect)) != 0 || s.aborted) {
    s.common.FaxProgress = fpCancel;
    EndRun(s);
    return Outcome::kEndRun;
  }
  return Outcome::kNextFax;
}

Outcome Idle(SendSession&, const StateInput&) { return Outcome::kStay; }

}  // namespace ql
