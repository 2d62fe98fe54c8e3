// Class 2 and Class 2.0 receive states: the modem runs T.30 and reports what happens.
// The engine reads the connect, the far machine's ID and the negotiated parameters,
// asks for each page with +FDR, and after each page reads its status (+FPTS/+FPS) and
// what follows (+FET); at the end it reads the hang-up report.

#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/class2_reports.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

// The first character after the ':' of a report.
char ReportDigit(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return '\0';
  const size_t digit = line.find_first_not_of(' ', colon + 1);
  return digit == std::string::npos ? '\0' : line[digit];
}

ROutcome TakeNegotiated(ReceiveSession& s, const RStateInput& in) {
  ArmTimeout(s, s.modem.ReplyWait);
  ApplyClass2Report(s, *in.line);
  SetProgress(s, fpSessionParams);
  s.response.Clear();
  return ROutcome::kStay;
}

// Where the next page goes after the far machine's post-page command: 0 MPS and 3
// PRI-MPS the same file, 1 EOM and 4 PRI-EOM a new file, 2 EOP and 5 PRI-EOP the end.
// Anything else is taken as more pages of the same file, so no page goes in without
// its page header.
PageDisposition DispositionOf(char digit) {
  switch (digit) {
    case '1':
    case '4': return pdNextFile;
    case '2':
    case '5': return pdDocumentEnd;
    default: return pdSameFile;
  }
}

}  // namespace

ROutcome Class2Answered(ReceiveSession& s, const RStateInput& in) {
  if (in.Has(s.modem.commands.connectReport)) {
    ArmTimeout(s, s.modem.ReplyWait);
    SetProgress(s, fpIncoming, false);
    s.response.Clear();
    return ROutcome::kConnected;
  }
  // A modem that answers data calls too connects without its fax report.
  if (in.Has("CONNECT")) return Fail(s, ecFaxDataCall);
  if (in.Has("VOICE")) return Fail(s, ecFaxVoiceCall);
  return KeepWaiting(s);
}

ROutcome Class2Negotiation(ReceiveSession& s, const RStateInput& in) {
  const CommandTable& t = s.modem.commands;
  if (in.Has(t.transmitterId)) {
    ArmTimeout(s, s.modem.ReplyWait);
    s.common.SetRemoteID(CleanStationId(*in.line));
    s.response.Clear();
    const ROutcome accepted = AcceptAndCreateFile(s, ROutcome::kStay);
    if (accepted == ROutcome::kStay) SetProgress(s, fpGotRemoteID);
    return accepted;
  }
  if (in.Has(t.negotiated)) return TakeNegotiated(s, in);
  if (in.Has("OK")) {
    if (const int rc = SendCommand(s, "AT+FDR"); rc < 0) return Fail(s, rc);
    s.modem.forceStatus = true;
    return ROutcome::kPageRequested;
  }
  return KeepWaiting(s);
}

ROutcome Class2AwaitPage(ReceiveSession& s, const RStateInput& in) {
  if (in.Has(s.modem.commands.negotiated)) return TakeNegotiated(s, in);
  if (in.Has("CONNECT")) {
    if (s.common.options & foSoftwareFlow) SetSoftwareFlow(s.common.portHandle, 6144, 2048, 0);
    s.response.Clear();
    return ROutcome::kPageCarrierUp;
  }
  return KeepWaiting(s);
}

ROutcome Class2PostPage(ReceiveSession& s, const RStateInput& in) {
  FaxCommon& c = s.common;
  const CommandTable& t = s.modem.commands;
  if (in.Has(t.pageStatus)) {
    SetProgress(s, fpGetPageResult);
    const char digit = ReportDigit(*in.line);
    s.modem.pageReceivedOk = digit == '1' || digit == '3' || digit == '5';
    if (s.modem.pageReceivedOk) {
      if (const int rc = EndPageInFile(s); rc < 0) return Fail(s, rc);
    } else {
      // The modem asked for the page again: it is received again in the same place,
      // with the same number.
      s.log.Note("page " + std::to_string(c.currentPage.load()) + " reported bad: received again");
      if (const int rc = s.file.CutBackPage(); rc < 0) return Fail(s, rc);
      c.currentPage = c.currentPage - 1;
    }
    s.response.Clear();
    return ROutcome::kStay;
  }
  if (in.Has("+FET")) {
    SetProgress(s, fpCheckMorePages);
    s.pageDisposition = DispositionOf(ReportDigit(*in.line));
    // A page asked for again follows whatever the far machine said would come next.
    if (!s.modem.pageReceivedOk) s.pageDisposition = pdSameFile;
    s.response.Clear();
    return ROutcome::kStay;
  }
  if (!in.Has("OK")) return KeepWaiting(s);
  // A modem that gave no page status had no complaint about the page.
  if (s.file.InPage())
    if (const int rc = EndPageInFile(s); rc < 0) return Fail(s, rc);
  if (const int rc = SendCommand(s, "AT+FDR"); rc < 0) return Fail(s, rc);
  if (s.pageDisposition != pdDocumentEnd) return ROutcome::kNextPageClass2;
  FinishFile(s);
  return ROutcome::kDocumentEnded;
}

ROutcome Class2HangUp(ReceiveSession& s, const RStateInput& in) {
  if (in.Has(s.modem.commands.hangUp)) {
    s.modem.HangupCode = HangupCodeFrom(*in.line, s.modem.commands.hangUp);
    SetProgress(s, fpGotHangup);
    s.response.Clear();
    return ROutcome::kStay;
  }
  if (in.Has("+FET")) {
    SetProgress(s, fpGetHangup);
    s.response.Clear();
    return ROutcome::kStay;
  }
  if (in.Has("OK")) return ROutcome::kCallEnded;
  return KeepWaiting(s);
}

}  // namespace ql
