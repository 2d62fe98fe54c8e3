#include "fax_engine/session/command_table.h"

namespace ql {

namespace {

struct Suffixes {
  const char* selectClass;
  const char* sessionParameters;
  const char* localId;
  const char* capabilities;
  const char* connectReport;
  const char* remoteCapabilities;
  const char* negotiated;
  const char* transmitterId;
  const char* calledId;
  const char* pageStatus;
  const char* hangUp;
};

constexpr Suffixes kClass2 = {"CLASS=2", "DIS", "LID", "DCC", "CON", "DIS", "DCS", "TSI", "CSI", "PTS", "FHNG"};
constexpr Suffixes kClass2_0 = {"CLASS=2.0", "IS", "LI", "CC", "CO", "IS", "CS", "TI", "CI", "PS", "FHS"};

// Every entry is "AT+F" (commands) or "+F" (reports) and the class's suffix; each holds
// at most 13 characters.
CommandTable Build(const Suffixes& s) {
  const std::string command = "AT+F", report = "+F";
  return {command + s.selectClass, command + s.sessionParameters, command + s.localId, command + s.capabilities,
          report + s.connectReport, report + s.remoteCapabilities, report + s.negotiated, report + s.transmitterId,
          report + s.calledId,      report + s.pageStatus,         s.hangUp};
}

}  // namespace

CommandTable CommandTableFor(TFaxClass faxClass) {
  if (faxClass == fcClass2) return Build(kClass2);
  if (faxClass == fcClass2_0) return Build(kClass2_0);
  return {};
}

}  // namespace ql
