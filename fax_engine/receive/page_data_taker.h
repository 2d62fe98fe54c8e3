#pragma once
// Taking received page data out of the modem's DLE-stuffed stream, one byte at a time,
// so the machine stops reading exactly at the DLE ETX that ends the page and leaves what
// follows (the modem's result) for the response collector. DLE DLE is one 0x10, DLE
// SUB two; other control pairs carry no page data and are dropped. A Class 2 modem
// hands page data over with the bits of each byte in reverse order: they are turned
// round here, once, so the file holds the first bit sent in bit 0 in every class.

#include <array>
#include <cstdint>

#include "serial/dle/dle_codec.h"

namespace ql {

// A byte with its bit order reversed.
inline constexpr std::array<uint8_t, 256> kReversedBits = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (i & (1 << bit)) r |= 0x80 >> bit;
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(r);
  }
  return table;
}();

class PageDataTaker {
 public:
  // A new page: no DLE pending; `reverseBits` for a Class 2 modem.
  void Start(bool reverseBits) {
    unstuffer_.Reset();
    reverse_ = reverseBits;
  }

  // Takes one byte of the stream and hands the page data it stands for (none, one byte
  // or two) to `store`. True when it was the DLE ETX that ends the page.
  template <typename Store>
  bool Take(uint8_t byte, Store&& store) {
    switch (unstuffer_.Classify(byte)) {
      case dle::Unstuffer::Byte::kData: store(Out(byte)); return false;
      case dle::Unstuffer::Byte::kEscape: return false;
      case dle::Unstuffer::Byte::kDataDle:
        store(Out(dle::kDle));
        if (byte == dle::kSub) store(Out(dle::kDle));
        return false;
      case dle::Unstuffer::Byte::kControl: return byte == dle::kEtx;
    }
    return false;
  }

  bool PendingDle() const { return unstuffer_.PendingDle(); }

 private:
  uint8_t Out(uint8_t byte) const { return reverse_ ? kReversedBits[byte] : byte; }

  dle::Unstuffer unstuffer_;
  bool reverse_ = false;
};

}  // namespace ql
