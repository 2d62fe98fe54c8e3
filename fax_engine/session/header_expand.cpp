#include "fax_engine/session/header_expand.h"

#include "fax_engine/session/date_time.h"
#include "fax_engine/session/session_records.h"
#include "platform/text.h"

namespace ql {

int HeaderPageNumber(const FaxSession& s) {
  if (s.common.coverPages == 0) return s.common.currentPage;
  if (s.common.SendingCover) return 1;
  return s.common.currentPage + 1;
}

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string TokenValue(const FaxSession& s, char letter, std::time_t now) {
  switch (AsciiUpper(letter)) {
    case 'D': return ShortDateText(now);
    case 'T': return TimeText(now);
    case 'I': return s.common.StationID;
    case 'N': return std::to_string(s.common.totalPages + s.common.coverPages);
    case 'P': return std::to_string(HeaderPageNumber(s));
    case 'F': return s.common.HeaderSender;
    case 'R': return s.common.HeaderRecipient;
    case 'S': return s.common.HeaderTitle;
    default: return {};
  }
}

}  // namespace

std::string ExpandHeaderAt(const FaxSession& s, const std::string& text, std::time_t now) {
  std::string out = text;
  size_t from = 0;
  while (true) {
    const size_t dollar = out.find('$', from);
    if (dollar == std::string::npos) return out;
    // A token is "$" and the letters of its name ("$P", "$Page"): the punctuation that
    // follows it stays, so "of $N, Sent" keeps its comma.
    size_t end = dollar + 1;
    while (end < out.size() && IsAsciiLetter(out[end])) ++end;
    const char letter = dollar + 1 < end ? out[dollar + 1] : '\0';
    const std::string value = TokenValue(s, letter, now);
    out.replace(dollar, end - dollar, value);
    from = dollar + value.size();
  }
}

std::string ExpandHeader(const FaxSession& s, const std::string& text) {
  return ExpandHeaderAt(s, text, std::time(nullptr));
}

}  // namespace ql
