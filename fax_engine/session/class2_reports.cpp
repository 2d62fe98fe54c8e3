#include "fax_engine/session/class2_reports.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "fax_engine/session/fax_class.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"

namespace ql {

namespace {

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> Fields(const std::string& line) {
  size_t cut = line.find(':');
  if (cut == std::string::npos) cut = line.find('=');
  std::string rest = cut == std::string::npos ? line : line.substr(cut + 1);
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t comma = rest.find(',', start);
    fields.push_back(TrimSpaces(rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

char FirstChar(const std::vector<std::string>& fields, size_t n) {
  return n < fields.size() && !fields[n].empty() ? fields[n][0] : '0';
}

}  // namespace

Class2Parameters ParseClass2Parameters(const std::string& line) {
  const std::vector<std::string> f = Fields(line);
  Class2Parameters p;
  p.fine = FirstChar(f, 0) == '1';
  p.bps = RateOfClass2Digit(FirstChar(f, 1));
  p.wide = FirstChar(f, 2) == '1';
  p.ecm = FirstChar(f, 5) == '1' || FirstChar(f, 5) == '2';
  const char scan = FirstChar(f, 7);
  p.scanTimeCode = scan >= '0' && scan <= '7' ? scan - '0' : 0;
  return p;
}

void ApplyClass2Report(FaxSession& s, const std::string& line) {
  const Class2Parameters p = ParseClass2Parameters(line);
  s.modem.fine = p.fine;
  s.modem.remoteFine = p.fine;
  s.modem.wide = p.wide;
  s.modem.remoteWide = p.wide;
  s.modem.ecm = p.ecm;
  s.modem.sessionBps = p.bps;
  s.modem.SpeedIndex = IndexOfSpeed(p.bps);
  s.modem.scanTimeCode = p.scanTimeCode;
  RecomputeMinBytesPerLine(s);
}

std::string CleanStationId(const std::string& line) {
  const size_t colon = line.find(':');
  std::string id = TrimSpaces(colon == std::string::npos ? line : line.substr(colon + 1));
  if (!id.empty() && id[0] == '"') id[0] = ' ';
  while (!id.empty() && !std::isalnum(static_cast<unsigned char>(id.back()))) id.pop_back();
  id = TrimSpaces(id);
  return id.substr(0, kStationIdMax);
}

int HangupCodeFrom(const std::string& line, const std::string& report) {
  const size_t at = line.find(report);
  const size_t colon = line.find(':', at == std::string::npos ? 0 : at + report.size());
  if (colon == std::string::npos) return 0;
  return std::atoi(TrimSpaces(line.substr(colon + 1, 3)).c_str());
}

}  // namespace ql
