// Send states from taking the next fax to dialling: the fax and cover are opened, the
// modem is set up for the class in use, the number is dialled.

#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"
#include "fax_engine/session/status_texts.h"
#include "platform/text.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

// A wait-OK state: OK does the state's action, any other line is a refused command.
template <typename Action>
Outcome OnOk(SendSession& s, const StateInput& in, Action action) {
  if (!in.IsLine()) return Outcome::kStay;
  if (in.Has("OK")) return action();
  return Fail(s, ecFaxInitError);
}

Outcome Command(SendSession& s, const std::string& text, Outcome next) {
  if (const int rc = SendCommand(s, text); rc < 0) return Fail(s, rc);
  return next;
}

}  // namespace

Outcome NextFax(SendSession& s, const StateInput&) {
  FaxCommon& c = s.common;
  if (!AskNextFile(s)) return Outcome::kNoMoreFaxes;
  s.log.Note("fax " + (c.faxFile.empty() ? std::string("(none)") : c.faxFile) +
             (c.coverFile.empty() ? "" : " with cover " + c.coverFile) + " to " + c.phoneNumber);
  SendLog(s, lfaxTransmitStart);
  c.currentPage = 1;
  c.totalPages = 0;
  c.coverPages = 0;
  c.bytesTransferred = 0;
  c.pageLength = 0;
  c.dialAttempt = 0;
  c.SendingCover = false;
  c.SetRemoteID("");
  s.retransmissions = 0;
  s.modem.HangupCode = 0;
  s.modem.pageResolution = ' ';
  s.pendingOutput.clear();
  if (!c.faxFile.empty()) {
    if (const int rc = OpenApf(s, c.faxFile); rc < 0) return Fail(s, rc);
    c.totalPages = s.file.PageCount();
  } else if (c.coverFile.empty()) {
    return Fail(s, ecNoFilename);
  }
  if (c.options & foSoftwareFlow) ClearSoftwareFlow(c.portHandle);
  return Outcome::kFaxReady;
}

Outcome PrepareFax(SendSession& s, const StateInput&) {
  FaxCommon& c = s.common;
  c.StationID = ToUpperAscii(c.StationID);
  if (!c.coverFile.empty()) {
    c.coverPages = 1;
    c.SendingCover = true;
    s.modem.coverIsApf = CoverIsApf(s);
  }
  if (!c.faxFile.empty()) {
    if (const int rc = ReadPageHeader(s, 1); rc < 0) return Fail(s, rc);
  } else {
    s.modem.pageResolution = '0';
    s.modem.pageHeader = ApfPageHeader{};
    if (s.modem.coverIsApf) {
      // The cover alone decides the resolution of the call.
      int rc = OpenApf(s, c.coverFile);
      if (rc == 0) rc = ReadPageHeader(s, 1);
      CloseApf(s);
      if (rc < 0) return Fail(s, rc);
    }
  }
  SetProgress(s, fpInitModem);
  if (IsClass1(s)) return Command(s, "AT+FCLASS=1", Outcome::kClass1Chosen);
  return Command(s, s.modem.commands.selectClass, Outcome::kClass2Chosen);
}

Outcome Class1Selected(SendSession& s, const StateInput& in) {
  return OnOk(s, in, [] { return Outcome::kOk; });
}

Outcome Class2Selected(SendSession& s, const StateInput& in) {
  return OnOk(s, in, [&] {
    const Outcome next = s.common.FaxClass == fcClass2_0 ? Outcome::kLocalIdSet20 : Outcome::kLocalIdSet2;
    return Command(s, s.modem.commands.localId + "=\"" + s.common.StationID + "\"", next);
  });
}

Outcome LocalIdSet20(SendSession& s, const StateInput& in) {
  return OnOk(s, in, [&] { return Command(s, "AT+FLO=2", Outcome::kOk); });
}

Outcome FlowControlSet(SendSession& s, const StateInput& in) {
  return OnOk(s, in, [&] { return Command(s, "AT+FNR=1,1,1,0", Outcome::kOk); });
}

Outcome ReportsSet(SendSession& s, const StateInput& in) {
  return OnOk(s, in, [&] {
    const FaxModemData& m = s.modem;
    std::string parameters = m.commands.sessionParameters + "=";
    parameters += m.pageResolution == '1' ? '1' : '0';
    parameters += std::string(",") + Class2RateDigit(m.DesiredBPS) + ",";
    parameters += m.pageHeader.Wide() ? '1' : '0';
    parameters += std::string(",2,0,") + m.DesiredECM + ",0,0";
    return Command(s, parameters, Outcome::kOk);
  });
}

Outcome SessionParametersSet(SendSession& s, const StateInput& in) {
  return OnOk(s, in, [] { return Outcome::kOk; });
}

Outcome Dial(SendSession& s, const StateInput&) {
  const FaxModemData& m = s.modem;
  const std::string command = std::string("ATD") + (m.ToneDial ? 'T' : 'P') + m.DialPrefix + s.common.phoneNumber;
  if (const int rc = SendCommand(s, command); rc < 0) return Fail(s, rc);
  ArmTimeout(s, m.DialWait);
  SetProgress(s, fpDialing);
  return IsClass1(s) ? Outcome::kDialledClass1 : Outcome::kDialledClass2;
}

Outcome RedialWait(SendSession&, const StateInput&) { return Outcome::kRedial; }

}  // namespace ql
