#include "fax_engine/receive/receive_machine.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/command_table.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/speed_tables.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

// Selects the class and, for Class 2/2.0, hands the modem the call's settings.
bool SetUpClass(ReceiveSession& s) {
  FaxCommon& c = s.common;
  FaxModemData& m = s.modem;
  if (c.FaxClass == fcClass1) {
    if (!ExchangeCommand(s, "AT+FCLASS=1").ok) return false;
    SwitchToNormalBaud(s);
    return true;
  }
  if (!ExchangeCommand(s, m.commands.selectClass).ok) return false;
  SwitchToNormalBaud(s);
  return ExchangeCommand(s, "AT+FCR=1").ok && ExchangeCommand(s, m.commands.localId + "=\"" + c.StationID + "\"").ok &&
         ExchangeCommand(s, std::string("AT+FAA=") + m.FaxAndData).ok;
}

// The speed offered in the DIS: the highest the modem receives that is not above
// DesiredBPS.
void ChooseOfferedSpeed(ReceiveSession& s) {
  FaxModemData& m = s.modem;
  for (int i = kHighestSpeedIndex; i >= kLowestSpeedIndex; --i) {
    if (m.localSpeeds[i] && SpeedOfIndex(i) <= m.DesiredBPS) {
      m.SpeedIndex = i;
      return;
    }
  }
  m.SpeedIndex = kLowestSpeedIndex;
}

}  // namespace

int PrepareReceive(FaxSession& base) {
  auto& s = static_cast<ReceiveSession&>(base);
  FaxCommon& c = s.common;
  FaxModemData& m = s.modem;
  c.LastError = 0;
  c.FaxProgress = 0;
  s.state = static_cast<uint8_t>(ReceiveState::kStart);
  s.announcedStart = false;
  s.aborted = false;

  const int port = c.portHandle;
  SetModemLines(port, true, true);
  if (!SettleFaxClass(s)) {
    ReportError(s, ecFaxBadModemResult);
    return ecFaxBadModemResult;
  }
  m.commands = CommandTableFor(c.FaxClass);
  s.response.ExpectFrames(c.FaxClass == fcClass1);

  // A modem that refuses what follows is still given to the machine, whose own
  // commands then fail and report it.
  c.Prepared = true;
  if (!m.modemInitialised && !InitialiseModem(s)) return 0;
  if (!SetUpClass(s)) return 0;
  if (c.FaxClass == fcClass1) {
    ReadClass1Capabilities(s, false);
    ChooseOfferedSpeed(s);
  }
  return 0;
}

}  // namespace ql
