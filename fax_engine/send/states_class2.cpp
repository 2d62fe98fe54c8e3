// Class 2 and Class 2.0 send states: the modem runs T.30 and reports what happens. The
// engine reads the connect, the far machine's capabilities and ID and what was
// negotiated, starts each page with +FDT, and after each page reads the page status:
// +FET=n and +FPTS (Class 2), or OK/ERROR and +FPS? (Class 2.0).

#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/class2_reports.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int32_t kPageStartWait = 546;  // ticks (30 s) for CONNECT after +FDT
constexpr int32_t kXonWait = 18;

Outcome Command(SendSession& s, const std::string& text, Outcome next) {
  if (const int rc = SendCommand(s, text); rc < 0) return Fail(s, rc);
  return next;
}

// The first character after the ':' of a page status report.
char PageStatusDigit(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return '\0';
  const size_t digit = line.find_first_not_of(' ', colon + 1);
  return digit == std::string::npos ? '\0' : line[digit];
}

Outcome TakeHangUpReport(SendSession& s, const StateInput& in) {
  s.modem.HangupCode = HangupCodeFrom(*in.line, s.modem.commands.hangUp);
  UseLine(s);
  return Outcome::kStay;
}

}  // namespace

Outcome Class2DialResult(SendSession& s, const StateInput& in) {
  const CommandTable& t = s.modem.commands;
  if (in.Has(t.connectReport.c_str())) {
    ClearResponse(s);
    return Outcome::kConnected;
  }
  if (in.Has("BUSY") || in.Has("ANSWER")) return BusyHandling(s);
  if (in.Has("VOICE")) return Fail(s, ecFaxVoiceCall);
  if (in.Has("NO DIAL")) return Fail(s, ecFaxNoDialTone);
  return Outcome::kStay;
}

Outcome Class2Negotiation(SendSession& s, const StateInput& in) {
  const CommandTable& t = s.modem.commands;
  if (in.Has(t.remoteCapabilities.c_str())) {
    ApplyClass2Report(s, *in.line);
    const FaxModemData& m = s.modem;
    if ((m.pageHeader.Wide() && !m.remoteWide) || (m.pageResolution == '1' && !m.remoteFine))
      return Fail(s, ecFaxBadMachine);
    SetProgress(s, fpSessionParams);
    UseLine(s);
    return Outcome::kStay;
  }
  if (in.Has(t.calledId.c_str())) {
    s.common.SetRemoteID(CleanStationId(*in.line));
    SetProgress(s, fpGotRemoteID);
    UseLine(s);
    return Outcome::kStay;
  }
  if (in.Has(t.negotiated.c_str())) {
    ApplyClass2Report(s, *in.line);
    SetProgress(s, fpSessionParams);
    UseLine(s);
    return Outcome::kStay;
  }
  if (in.Has("OK")) {
    if (const int rc = SendCommand(s, "AT+FDT"); rc < 0) return Fail(s, rc);
    ArmTimeout(s, kPageStartWait);
    ArmTimer(s.modem.eventTimer, kPageStartWait);
    return Outcome::kStay;
  }
  if (in.Has("CONNECT")) {
    UseLine(s);
    if (s.common.FaxClass == fcClass2_0) {
      ArmRoom(s);
      ArmTransmit(s);
      return Outcome::kReadyForData;
    }
    ArmTimeout(s, kXonWait);
    return Outcome::kPageCarrierUp;
  }
  return Outcome::kStay;
}

Outcome Class2PageEnd(SendSession& s, const StateInput&) {
  s.response.Clear();
  ArmTransmit(s);
  SetProgress(s, fpSendPageStatus);
  return s.common.FaxClass == fcClass2_0 ? Outcome::kPageEndSent20 : Outcome::kPageEndSent2;
}

Outcome Class2PageEndOk(SendSession& s, const StateInput& in) {
  if (!in.IsLine()) return Outcome::kStay;
  if (!in.Has("OK")) return Fail(s, ecFaxSessionError);
  if (const int rc = SendCommand(s, MorePagesFollow(s) ? "AT+FET=0" : "AT+FET=2"); rc < 0) return Fail(s, rc);
  ArmTransmit(s);
  return Outcome::kPageStatusAsked;
}

Outcome Class2PageStatus(SendSession& s, const StateInput& in) {
  if (!in.IsLine()) return Outcome::kStay;
  if (in.Has("OK")) return Outcome::kPageGood;
  if (in.Has(s.modem.commands.hangUp.c_str())) return TakeHangUpReport(s, in);
  if (!in.Has(s.modem.commands.pageStatus.c_str())) return Fail(s, ecFaxPageError);
  switch (PageStatusDigit(*in.line)) {
    case '1':
    case '3':
      SetProgress(s, fpPageOK);
      UseLine(s);
      return Outcome::kStay;
    case '2':
      SetProgress(s, fpPageError);
      UseLine(s);
      return Outcome::kPageBad;
    case '4':
    case '5': return Fail(s, ecCancelRequested);
    default: return Fail(s, ecFaxPageError);
  }
}

Outcome Retransmit(SendSession& s, const StateInput& in) {
  if (!in.IsLine()) return Outcome::kStay;
  // A Class 2.0 modem answers +FPS? with the page status before its OK.
  if (in.Has(s.modem.commands.pageStatus.c_str())) {
    UseLine(s);
    return Outcome::kStay;
  }
  if (!in.Has("OK")) return Fail(s, ecFaxSessionError);
  if (++s.retransmissions > s.maxRetransmissions) {
    WriteString(s.common.portHandle, "AT+FKS\r");
    return Fail(s, ecFaxSessionError);
  }
  s.log.Note("page rejected: sent again (" + std::to_string(s.retransmissions) + " of " +
             std::to_string(s.maxRetransmissions) + ")");
  if (const int rc = SendCommand(s, "AT+FDT"); rc < 0) return Fail(s, rc);
  if (const int rc = RewindPage(s); rc < 0) return Fail(s, rc);
  return Outcome::kResend;
}

Outcome Class2NextPage(SendSession& s, const StateInput&) {
  if (!MorePagesFollow(s)) return Outcome::kFaxComplete;
  if (const int rc = AdvanceToNextPage(s); rc < 0) return Fail(s, rc);
  return Command(s, "AT+FDT", Outcome::kNextPageClass2);
}

Outcome Class20PageStatus(SendSession& s, const StateInput& in) {
  if (!in.IsLine()) return Outcome::kStay;
  if (in.Has("OK")) {
    SetProgress(s, fpPageOK);
    return Outcome::kPageGood;
  }
  if (in.Has("ERROR")) {
    SetProgress(s, fpPageError);
    return Command(s, "AT+FPS?", Outcome::kPageBad);
  }
  if (in.Has(s.modem.commands.hangUp.c_str())) return TakeHangUpReport(s, in);
  return Fail(s, ecFaxPageError);
}

}  // namespace ql
