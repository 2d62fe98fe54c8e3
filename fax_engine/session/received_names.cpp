#include "fax_engine/session/received_names.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ql {

std::string ReceivedFileName(int namingMode, const std::string& destinationDir, const std::string& extension,
                             std::time_t now) {
  if (namingMode != 1 && namingMode != 2) return "noname.apf";
  std::string prefix = namingMode == 1 ? "FAX" : "";
  if (namingMode == 2) {
    std::tm tm{};
    localtime_r(&now, &tm);
    char monthDay[24];
    std::snprintf(monthDay, sizeof monthDay, "%02d%02d", tm.tm_mon + 1, tm.tm_mday);
    prefix = monthDay;
  }
  std::string folder = destinationDir;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  for (int n = 1; n <= 9999; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", n);
    const std::string candidate = folder + prefix + number + "." + extension;
    std::error_code ec;
    // Only a file takes the name; a folder of that name does not count.
    if (!std::filesystem::exists(candidate, ec) || std::filesystem::is_directory(candidate, ec)) return candidate;
  }
  return "NONAME.APF";
}

}  // namespace ql
