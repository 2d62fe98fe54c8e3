#pragma once
// The macros of print captions: every "$" starts a token that runs to the next space or
// the end of the text, replaced by the letter after the "$" (either case): D the date,
// F the file name, N the page total, P the page being printed, T the time; a token with
// any other letter is removed. Inserted text is never expanded again.

#include <string>

namespace ql {

struct TCaptionValues {
  std::string Date;
  std::string FileName;
  unsigned PageTotal = 0;
  unsigned Page = 0;
  std::string Time;
};

std::string ExpandCaption(const std::string& caption, const TCaptionValues& values);

}  // namespace ql
