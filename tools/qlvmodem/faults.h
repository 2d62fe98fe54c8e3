#pragma once
// Faults a test orders for the next call of a number: call-level outcomes, line
// impairments during the call, misbehaviour of a remote machine or of a modem's output.

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ql::vmodem {

enum class FaultKind {
  kBusy,          // the called number is busy
  kNoAnswer,      // it rings and nobody answers (value: seconds of ringing)
  kVoice,         // a person answers
  kNoDialTone,    // the caller's line has no dial tone
  kDisconnect,    // a remote machine sends DCN instead of accepting the session
  kCarrierLoss,   // the line goes dead in the middle of a page
  kTrainFailure,  // training at the given bit rate fails (value: bit/s, 0 = any)
  kPageRejected,  // a Class 2/2.0 modem reports its program's first page as bad
  kSilence,       // the modem answers nothing to its program during the call
  kGarbage,       // the modem's replies are replaced by noise bytes
  kSlow,          // the modem's replies are late (value: milliseconds)
  kNoise,         // background noise on the line (value: level in dBm0, negative)
};

struct Fault {
  FaultKind kind = FaultKind::kBusy;
  int value = 0;
};

// Parses "busy", "noanswer 20", "train 14400" ...; nullopt with a message on error.
std::optional<Fault> ParseFault(std::string_view name, std::string_view argument, std::string* error);
std::string FaultName(FaultKind kind);
std::string DescribeFault(const Fault& fault);
// The names ParseFault accepts, for help texts.
std::string FaultNames();

bool HasFault(const std::vector<Fault>& faults, FaultKind kind);
const Fault* FindFault(const std::vector<Fault>& faults, FaultKind kind);

// Faults waiting for the next call of each number.
class FaultBook {
 public:
  void Order(const std::string& number, const Fault& fault);
  // All faults ordered for the number; they are used up by this call.
  std::vector<Fault> TakeFor(const std::string& number);
  size_t Pending(const std::string& number) const;

 private:
  std::map<std::string, std::deque<Fault>> pending_;
};

}  // namespace ql::vmodem
