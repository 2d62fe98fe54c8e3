#include "tools/qlvmodem/call_log.h"

#include <time.h>

#include <cstdio>

namespace ql::vmodem {

CallLog::CallLog(const std::filesystem::path& path) : path_(path) {
  if (!path.empty()) out_.open(path, std::ios::app);
}

void CallLog::Write(int callId, double lineSeconds, const std::string& text) {
  if (!out_.is_open()) return;
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  localtime_r(&now.tv_sec, &local);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
  char head[128];
  std::snprintf(head, sizeof head, "%s  line %9.2fs  call %d  ", stamp, lineSeconds, callId);
  out_ << head << text << '\n';
  out_.flush();
}

}  // namespace ql::vmodem
