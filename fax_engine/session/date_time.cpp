#include "fax_engine/session/date_time.h"

namespace ql {

namespace {

std::string Format(std::time_t when, const char* format) {
  std::tm tm{};
  localtime_r(&when, &tm);
  char text[64];
  const size_t n = std::strftime(text, sizeof text, format, &tm);
  return std::string(text, n);
}

}  // namespace

std::string ShortDateText(std::time_t when) { return Format(when, "%x"); }
std::string TimeText(std::time_t when) { return Format(when, "%X"); }

}  // namespace ql
