#include "tools/qlvmodem/faults.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace ql::vmodem {

namespace {

struct FaultEntry {
  FaultKind kind;
  const char* name;
  int defaultValue;
  int minValue;
  int maxValue;
  const char* unit;
};

constexpr std::array<FaultEntry, 12> kEntries = {{
    {FaultKind::kBusy, "busy", 0, 0, 0, ""},
    {FaultKind::kNoAnswer, "noanswer", 30, 1, 600, "s"},
    {FaultKind::kVoice, "voice", 0, 0, 0, ""},
    {FaultKind::kNoDialTone, "nodialtone", 0, 0, 0, ""},
    {FaultKind::kDisconnect, "dcn", 0, 0, 0, ""},
    {FaultKind::kCarrierLoss, "carrier", 0, 0, 0, ""},
    {FaultKind::kTrainFailure, "train", 0, 0, 14400, " bit/s"},
    {FaultKind::kPageRejected, "rtn", 0, 0, 0, ""},
    {FaultKind::kSilence, "silence", 0, 0, 0, ""},
    {FaultKind::kGarbage, "garbage", 0, 0, 0, ""},
    {FaultKind::kSlow, "slow", 3000, 1, 60000, " ms"},
    {FaultKind::kNoise, "noise", -45, -90, 0, " dBm0"},
}};

const FaultEntry& EntryOf(FaultKind kind) {
  for (const auto& entry : kEntries)
    if (entry.kind == kind) return entry;
  return kEntries[0];
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view name, std::string_view argument, std::string* error) {
  for (const auto& entry : kEntries) {
    if (name != entry.name) continue;
    Fault fault{entry.kind, entry.defaultValue};
    if (argument.empty()) return fault;
    if (entry.minValue == 0 && entry.maxValue == 0) {
      *error = std::string("fault '") + entry.name + "' takes no value";
      return std::nullopt;
    }
    int value = 0;
    auto [end, ec] = std::from_chars(argument.data(), argument.data() + argument.size(), value);
    if (ec != std::errc() || end != argument.data() + argument.size() || value < entry.minValue ||
        value > entry.maxValue) {
      *error = std::string("bad value '") + std::string(argument) + "' for fault '" + entry.name + "' (" +
               std::to_string(entry.minValue) + " to " + std::to_string(entry.maxValue) + ")";
      return std::nullopt;
    }
    fault.value = value;
    return fault;
  }
  *error = "unknown fault '" + std::string(name) + "' (known: " + FaultNames() + ")";
  return std::nullopt;
}

std::string FaultName(FaultKind kind) { return EntryOf(kind).name; }

std::string DescribeFault(const Fault& fault) {
  const FaultEntry& entry = EntryOf(fault.kind);
  std::string text = entry.name;
  if (entry.minValue != 0 || entry.maxValue != 0) {
    // Appended piece by piece: GCC 12 warns falsely about " " + std::string in release builds.
    text += ' ';
    text += std::to_string(fault.value);
    text += entry.unit;
  }
  return text;
}

std::string FaultNames() {
  std::string names;
  for (const auto& entry : kEntries) {
    if (!names.empty()) names += ", ";
    names += entry.name;
  }
  return names;
}

const Fault* FindFault(const std::vector<Fault>& faults, FaultKind kind) {
  auto it = std::find_if(faults.begin(), faults.end(), [kind](const Fault& f) { return f.kind == kind; });
  return it == faults.end() ? nullptr : &*it;
}

bool HasFault(const std::vector<Fault>& faults, FaultKind kind) { return FindFault(faults, kind) != nullptr; }

void FaultBook::Order(const std::string& number, const Fault& fault) { pending_[number].push_back(fault); }

std::vector<Fault> FaultBook::TakeFor(const std::string& number) {
  auto it = pending_.find(number);
  if (it == pending_.end()) return {};
  std::vector<Fault> faults(it->second.begin(), it->second.end());
  pending_.erase(it);
  return faults;
}

size_t FaultBook::Pending(const std::string& number) const {
  auto it = pending_.find(number);
  return it == pending_.end() ? 0 : it->second.size();
}

}  // namespace ql::vmodem
