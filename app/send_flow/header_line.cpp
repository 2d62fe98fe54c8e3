#include "app/send_flow/header_line.h"

#include <cstdio>

#include "app/settings/work_folders.h"

namespace ql {

std::string BuildHeader(const std::string& name, const std::string& stationId, std::time_t now) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t {};
  ::localtime_r(&now, &t);
  std::string header = "Page $P of $N, Sent ";
  if (!TrimBoth(name + stationId).empty()) header += "by ";
  if (!name.empty()) header += name + ",";
  if (!stationId.empty()) header += " $I ";
  const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
  char when[64];
  std::snprintf(when, sizeof when, " on %d %s %d at %02d:%02d%s", t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900,
                hour12, t.tm_min, t.tm_hour < 12 ? "am" : "pm");
  return header + when;
}

}  // namespace ql
