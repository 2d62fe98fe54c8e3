#pragma once
// Reading what a Class 2 or 2.0 modem reports: session parameters (+FDIS/+FIS,
// +FDCS/+FCS), station IDs (+FCSI/+FCI, +FTSI/+FTI) and hang-up codes (+FHNG/+FHS).

#include <string>

namespace ql {

struct FaxSession;

struct Class2Parameters {
  bool fine = false;
  int bps = 9600;
  bool wide = false;
  bool ecm = false;
  int scanTimeCode = 0;
};

// The parameters of a report "+FDIS:1,5,0,2,0,0,0,0": everything up to the first ':'
// (or '=') goes, then field 1 is the resolution, 2 the rate, 3 the width, 6 error
// correction and 8 the scan time. Fields that are missing read as 0.
Class2Parameters ParseClass2Parameters(const std::string& line);
// Takes a parameters report into the session: fine and remote-accepts-fine, wide and
// remote-accepts-wide, the rate, error correction and the scan time (MinBytesPerLine
// recomputed).
void ApplyClass2Report(FaxSession& s, const std::string& line);

// The station ID of a report line: the text after the first ':' with spaces trimmed, a
// leading '"' dropped, trailing characters that are neither letters nor digits dropped,
// trimmed again, at most 20 characters.
std::string CleanStationId(const std::string& line);

// The number after the ':' of a hang-up report ("+FHNG:50" gives 50); 0 when there is none.
int HangupCodeFrom(const std::string& line, const std::string& report);

}  // namespace ql
