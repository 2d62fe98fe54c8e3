#include "serial/dle/dle_codec.h"

namespace ql::dle {

void AppendStuffed(std::string& out, std::string_view data) {
  out.reserve(out.size() + data.size() + data.size() / 64 + 2);
  for (char c : data) AppendStuffedByte(out, static_cast<uint8_t>(c));
}

std::string Stuffed(std::string_view data, bool end) {
  std::string out;
  AppendStuffed(out, data);
  if (end) out += EndPair();
  return out;
}

size_t WholePairPrefix(std::string_view stuffed, size_t limit) {
  if (limit > stuffed.size()) limit = stuffed.size();
  size_t n = 0;
  while (n < limit) {
    const size_t step = static_cast<uint8_t>(stuffed[n]) == kDle ? 2 : 1;
    if (n + step > limit) break;
    n += step;
  }
  return n;
}

Unstuffer::Byte Unstuffer::Classify(uint8_t byte) {
  if (!pendingDle_) {
    pendingDle_ = byte == kDle;
    return pendingDle_ ? Byte::kEscape : Byte::kData;
  }
  pendingDle_ = false;
  if (byte == kDle || byte == kSub) return Byte::kDataDle;
  control_ = byte;
  return Byte::kControl;
}

Unstuffer::Result Unstuffer::Take(std::string_view piece, std::string& data) {
  Result result;
  size_t i = 0;
  while (i < piece.size()) {
    const auto b = static_cast<uint8_t>(piece[i++]);
    switch (Classify(b)) {
      case Byte::kData: data += static_cast<char>(b); break;
      case Byte::kEscape: break;
      case Byte::kDataDle:
        data += static_cast<char>(kDle);
        if (b == kSub) data += static_cast<char>(kDle);
        break;
      case Byte::kControl:
        result.consumed = i;
        result.stop = b == kEtx ? Stop::kEnd : Stop::kControl;
        return result;
    }
  }
  result.consumed = i;
  return result;
}

}  // namespace ql::dle
