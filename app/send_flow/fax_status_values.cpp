#include "app/send_flow/fax_status_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ql {

std::string ShortFileName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 20) name = name.substr(0, 20) + "...";
  return name;
}

std::string FormatClock(int seconds) {
  seconds = std::max(0, seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%6s", (std::to_string(seconds / 60) + ":" + (seconds % 60 < 10 ? "0" : "") +
                                           std::to_string(seconds % 60))
                                              .c_str());
  return text;
}

int PageBarValue(int bytes, int length) {
  if (length <= 0) return 0;
  return std::clamp(static_cast<int>(std::lround(100.0 * bytes / length)), 0, 100);
}

TFaxStatusValues FormatFaxStatus(const TFaxStatusSnapshot& s) {
  TFaxStatusValues v;
  v.phoneNumber = s.phoneNumber;
  v.faxFile = ShortFileName(s.faxFile);
  v.coverFile = ShortFileName(s.coverFile);
  v.totalPages = std::to_string(s.totalPages);
  v.dialAttempt = std::to_string(s.dialAttempt);
  v.remoteId = s.remoteId;
  v.connectBps = std::to_string(s.bps);
  v.resolution = s.fine ? "high" : "standard";
  v.width = s.wide ? "2048" : "1728";
  v.errorControl = s.ecm ? "on" : "off";
  v.currentPage = s.currentPage == 0 && !s.receive ? std::string("<cover page>") : std::to_string(s.currentPage);
  v.pageLength = std::to_string(s.pageLength);
  v.bytes = std::to_string(s.bytes);
  v.bar = s.receive ? 0 : PageBarValue(s.bytes, s.pageLength);
  return v;
}

void TStatusClock::OnStatus(int code, int64_t nowMs) {
  if ((code == 40 || code == 41) && start_ < 0) start_ = nowMs;
  if ((code == 42 || code == 43 || code == 28) && start_ >= 0 && stop_ < 0) stop_ = nowMs;
  if (code == 3) {
    if (countdownFrom_ < 0) countdownFrom_ = nowMs;
  } else {
    countdownFrom_ = -1;
  }
}

std::string TStatusClock::Elapsed(int64_t nowMs) const {
  if (start_ < 0) return "00:00";
  return FormatClock(static_cast<int>(((stop_ >= 0 ? stop_ : nowMs) - start_) / 1000));
}

std::string TStatusClock::Countdown(int64_t nowMs, int retryWaitSeconds) const {
  if (countdownFrom_ < 0) return {};
  const int64_t left = retryWaitSeconds * 1000LL - (nowMs - countdownFrom_);
  return FormatClock(static_cast<int>((std::max<int64_t>(0, left) + 999) / 1000));
}

}  // namespace ql
