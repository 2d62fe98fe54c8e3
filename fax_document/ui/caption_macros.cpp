#include "fax_document/ui/caption_macros.h"

namespace ql {

std::string ExpandCaption(const std::string& caption, const TCaptionValues& values) {
  std::string out;
  size_t at = 0;
  while (at < caption.size()) {
    if (caption[at] != '$') {
      out += caption[at++];
      continue;
    }
    size_t end = caption.find(' ', at);
    if (end == std::string::npos) end = caption.size();
    const char letter = at + 1 < end ? static_cast<char>(caption[at + 1] | 0x20) : '\0';
    switch (letter) {
      case 'd': out += values.Date; break;
      case 'f': out += values.FileName; break;
      case 'n': out += std::to_string(values.PageTotal); break;
      case 'p': out += std::to_string(values.Page); break;
      case 't': out += values.Time; break;
      default: break;
    }
    at = end;
  }
  return out;
}

}  // namespace ql
