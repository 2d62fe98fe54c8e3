#include "fax_engine/session/status_texts.h"

#include <algorithm>
#include <iterator>

namespace ql {

namespace {

struct Entry {
  int id;
  const char* text;
};

// The string table of the progress texts, in identifier order.
constexpr Entry kTexts[] = {
    {13001, "Initializing modem for fax processing"},
    {13002, "Dialing"},
    {13003, "Busy, waiting until redial..."},
    {13004, "Sending page data"},
    {13005, "Sending EOP"},
    {13006, "Error sending page"},
    {13007, "Page accepted by remote"},
    {13020, "Waiting for incoming call"},
    {13021, "No connect on this call"},
    {13022, "Answering incoming call"},
    {13023, "Incoming call validated as fax"},
    {13024, "Getting page data"},
    {13025, "Getting end-of-page signal"},
    {13026, "Getting end-of-document status"},
    {13027, "Getting hangup command"},
    {13028, "Got Class 2 FHNG code"},
    {13040, "Getting connection params"},
    {13041, "Got called-station ID"},
    {13042, "User abort"},
};

constexpr size_t kTextBuffer = 80;

}  // namespace

std::string StatusText(int code) {
  if (code < 1 || code > 42) return {};
  const int id = 13000 + code;
  const auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                                   [](const Entry& e, int key) { return e.id < key; });
  if (it == std::end(kTexts) || it->id != id) return {};
  std::string text = it->text;
  if (text.size() > kTextBuffer - 1) text.resize(kTextBuffer - 1);
  return text;
}

}  // namespace ql
