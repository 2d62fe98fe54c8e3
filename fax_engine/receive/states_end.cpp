// Receive states at the end of a call and of the run: a call done, an error, idle.

#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_run.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"

namespace ql {

namespace {

// The status display closes: after each call, or, with ConstantStatus, when the run ends.
void CloseAnnouncement(ReceiveSession& s, bool runEnds) {
  if (!s.announcedStart || (s.ConstantStatus && !runEnds)) return;
  SendStatus(s, false, true);
  s.announcedStart = false;
}

ROutcome EndRun(ReceiveSession& s) {
  CloseAnnouncement(s, true);
  FinishSession(s);
  s.modem.modemInitialised = false;
  return ROutcome::kEndRun;
}

}  // namespace

ROutcome CallDone(ReceiveSession& s, const RStateInput&) {
  SwitchToInitBaud(s);
  s.log.Note("call done");
  if (s.OneFax) return EndRun(s);
  CloseAnnouncement(s, false);
  return ROutcome::kNextCall;
}

ROutcome ErrorState(ReceiveSession& s, const RStateInput&) {
  FaxCommon& c = s.common;
  if (!c.faxFile.empty()) {
    // The file keeps its complete pages only; its owner hears its name with the failure.
    s.file.Close();
    SendLog(s, lfaxReceiveFail);
    c.faxFile.clear();
  }
  if (c.options & foSoftwareFlow) ClearSoftwareFlow(c.portHandle);
  HangUpReceive(s);
  const bool aborted = s.aborted;
  s.aborted = false;
  if ((c.options & foExitOnError) != 0 || aborted) {
    c.FaxProgress = fpCancel;
    return EndRun(s);
  }
  CloseAnnouncement(s, false);
  return ROutcome::kNextCall;
}

ROutcome Idle(ReceiveSession&, const RStateInput&) { return ROutcome::kStay; }

}  // namespace ql
