#include "fax_engine/send/send_machine.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

int PrepareSend(FaxSession& base) {
  auto& s = static_cast<SendSession&>(base);
  FaxCommon& c = s.common;
  FaxModemData& m = s.modem;
  m.pageResolution = ' ';
  m.previousResolution = ' ';
  m.fileHeader = ApfFileHeader{};
  s.state = static_cast<uint8_t>(SendState::kNextFax);
  s.aborted = false;
  c.FaxProgress = fpInitModem;
  c.LastError = 0;
  SendStatus(s, true, false);

  c.currentPage = 0;
  c.totalPages = 0;
  c.coverPages = 0;
  c.bytesTransferred = 0;
  c.pageLength = 0;
  c.SetRemoteID("");
  c.faxFile.clear();
  c.coverFile.clear();
  c.phoneNumber.clear();
  c.dialAttempt = 0;

  const int port = c.portHandle;
  SetBaud(port, 19200);
  SetModemLines(port, true, true);

  if (!SettleFaxClass(s)) {
    ReportError(s, ecFaxBadModemResult);
    return ecFaxBadModemResult;
  }
  if (!m.modemInitialised && !InitialiseModem(s)) {
    ReportError(s, ecFaxBadModemResult);
    return ecFaxBadModemResult;
  }
  s.response.ExpectFrames(c.FaxClass == fcClass1);
  m.commands = CommandTableFor(c.FaxClass);
  if (c.FaxClass == fcClass1) {
    if (!ReadClass1Capabilities(s, true)) {
      ReportError(s, ecFaxBadModemResult);
      return ecFaxBadModemResult;
    }
  } else {
    SwitchToNormalBaud(s);
  }
  c.Prepared = true;
  return 0;
}

}  // namespace ql
