#pragma once
// What the "Fax Status" window shows, worked out from the fax component's values
// without any window: the texts of every value, the page bar, and the clocks (elapsed
// time of the call, countdown to a redial).

#include <cstdint>
#include <string>

namespace ql {

// The component's values at one status.
struct TFaxStatusSnapshot {
  bool receive = false;
  std::string phoneNumber, faxFile, coverFile, remoteId, statusText;
  int totalPages = 0, dialAttempt = 0, bps = 0, currentPage = 0, pageLength = 0, bytes = 0;
  bool fine = false, wide = false, ecm = false;
  int progress = 0;  // the status code
};

struct TFaxStatusValues {
  std::string phoneNumber, faxFile, coverFile, totalPages, dialAttempt, remoteId, connectBps, resolution, width,
      errorControl, currentPage, pageLength, bytes;
  int bar = 0;  // 0 to 100
};

TFaxStatusValues FormatFaxStatus(const TFaxStatusSnapshot& s);

// A file name without its folder, cut to 20 characters and "..." when longer.
std::string ShortFileName(const std::string& path);
// Minutes, ":" and two-digit seconds, right-aligned in six characters ("  1:05").
std::string FormatClock(int seconds);
// The bar's value: bytes ÷ length × 100, rounded; 0 while the length is 0.
int PageBarValue(int bytes, int length);

// The elapsed-time clock and the redial countdown, fed the status codes as they come.
class TStatusClock {
 public:
  void OnStatus(int code, int64_t nowMs);
  // "00:00" until timing starts, then the running (or stopped) time.
  std::string Elapsed(int64_t nowMs) const;
  // While the status is "waiting until redial": the time left of retryWaitSeconds.
  bool CountingDown() const { return countdownFrom_ >= 0; }
  std::string Countdown(int64_t nowMs, int retryWaitSeconds) const;

 private:
  int64_t start_ = -1;
  int64_t stop_ = -1;
  int64_t countdownFrom_ = -1;
};

}  // namespace ql
