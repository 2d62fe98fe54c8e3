#pragma once
// The commands and reports that differ between Class 2 and Class 2.0 modems, by role.

#include <string>

#include "fax_engine/session/fax_class.h"

namespace ql {

struct CommandTable {
  std::string selectClass;         // AT+FCLASS=2 / AT+FCLASS=2.0
  std::string sessionParameters;   // AT+FDIS / AT+FIS
  std::string localId;             // AT+FLID / AT+FLI
  std::string capabilities;        // AT+FDCC / AT+FCC
  std::string connectReport;       // +FCON / +FCO
  std::string remoteCapabilities;  // +FDIS / +FIS
  std::string negotiated;          // +FDCS / +FCS
  std::string transmitterId;       // +FTSI / +FTI
  std::string calledId;            // +FCSI / +FCI
  std::string pageStatus;          // +FPTS / +FPS
  std::string hangUp;              // FHNG / FHS (the bare suffix, found anywhere in a line)
};

// The table of a class; Class 1 and the other values give an empty table.
CommandTable CommandTableFor(TFaxClass faxClass);

}  // namespace ql
