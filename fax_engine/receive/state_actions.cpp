// Small actions the receive states share: outcomes, the announcement of a run or call,
// and the received file's life (accepting the call, counting pages, finishing).

#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

ReceiveState StateOf(const ReceiveSession& s) { return static_cast<ReceiveState>(s.state); }

bool IsClass1(const ReceiveSession& s) { return s.common.FaxClass == fcClass1; }

ROutcome Fail(ReceiveSession& s, int code) {
  ReportError(s, code);
  return ROutcome::kFailed;
}

void SetProgress(ReceiveSession& s, int progress, bool force) {
  s.common.FaxProgress = static_cast<uint16_t>(progress);
  if (force) s.modem.forceStatus = true;
}

ROutcome Command(ReceiveSession& s, const std::string& text, ROutcome next) {
  if (const int rc = SendCommand(s, text); rc < 0) return Fail(s, rc);
  return next;
}

ROutcome KeepWaiting(ReceiveSession& s) {
  ClearResponse(s);
  return ROutcome::kStay;
}

void Announce(ReceiveSession& s) {
  if (s.announcedStart) return;
  s.announcedStart = true;
  SendStatus(s, true, false);
}

ROutcome AcceptAndCreateFile(ReceiveSession& s, ROutcome next) {
  FaxCommon& c = s.common;
  if (s.accepted) return next;  // a later training of the same call
  if (!AskAccept(s)) {
    s.log.Note("call rejected by the component");
    // A Class 2 modem is told to end the session at once; the hang-up follows.
    if (!IsClass1(s)) WriteString(c.portHandle, "AT+FKS\r");
    ReportError(s, ecFileRejected);
    s.modem.forceStatus = true;
    SendLog(s, lfaxReceiveSkip);
    return ROutcome::kFailed;
  }
  s.accepted = true;
  c.faxFile.clear();
  AskName(s);
  if (c.faxFile.empty()) return Fail(s, ecNoFilename);
  if (const int rc = s.file.Create(c.faxFile, c.RemoteID()); rc < 0) {
    // The failure is logged with the file's name (the error state does it).
    s.file.Close();
    return Fail(s, rc);
  }
  s.log.Note("receiving into " + c.faxFile);
  SendLog(s, lfaxReceiveStart);
  s.pageDisposition = pdSameFile;
  c.currentPage = 0;
  return next;
}

int EndPageInFile(ReceiveSession& s) {
  if (const int rc = s.file.EndPage(s.common.RemoteID()); rc < 0) return rc;
  s.log.Note("page " + std::to_string(s.common.currentPage.load()) + " kept: " +
             std::to_string(s.file.PageBytes()) + " bytes" +
             (IsClass1(s) ? ", " + std::to_string(s.rows.Rows()) + " rows, " + std::to_string(s.rows.BrokenRows()) +
                                " broken"
                          : std::string()));
  return 0;
}

void FinishFile(ReceiveSession& s) {
  s.file.Close();
  s.log.Note("fax received: " + s.common.faxFile + ", " + std::to_string(s.file.PageCount()) + " pages");
  SendLog(s, lfaxReceiveOk);
  s.common.faxFile.clear();
  SetProgress(s, fpGetHangup);
}

}  // namespace ql
