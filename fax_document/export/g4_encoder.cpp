#include "fax_document/export/g4_encoder.h"

#include <algorithm>
#include <cstring>

#include "fax_document/t4/t4_codes.h"

namespace ql {
namespace {

int Pixel(const uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

// The first position at or after `from` whose pixel is not `colour`, or `end` (which
// must be a whole number of bytes). A byte at a time, the first differing bit found by
// counting leading zeros.
int FindChange(const uint8_t* row, int from, int end, int colour) {
  if (from >= end) return from;
  const uint8_t flip = colour ? 0xFF : 0x00;
  int byte = from >> 3;
  unsigned differing = static_cast<uint8_t>(row[byte] ^ flip) & (0xFFu >> (from & 7));
  const int bytes = end >> 3;
  while (differing == 0) {
    if (++byte >= bytes) return end;
    differing = static_cast<uint8_t>(row[byte] ^ flip);
  }
  return std::min(end, byte * 8 + __builtin_clz(differing) - 24);
}

int FindChangeFrom(const uint8_t* row, int from, int end, int colour) {
  return from < end ? FindChange(row, from, end, colour) : end;
}

struct Mode {
  uint8_t bits;
  uint8_t length;
};
constexpr Mode kPass{0x1, 4};
constexpr Mode kHorizontal{0x1, 3};
// Vertical modes by b1 - a1 + 3: VR3, VR2, VR1, V0, VL1, VL2, VL3.
constexpr Mode kVertical[7] = {{0x03, 7}, {0x03, 6}, {0x3, 3}, {0x1, 1}, {0x2, 3}, {0x02, 6}, {0x02, 7}};

}  // namespace

G4Encoder::G4Encoder(int width) : width_(width), reference_(static_cast<size_t>((width + 7) / 8), 0) {}

void G4Encoder::Put(uint32_t bits, unsigned length) {
  acc_ = (acc_ << length) | (bits & ((1u << length) - 1));
  fill_ += length;
  while (fill_ >= 8) {
    fill_ -= 8;
    out_.push_back(static_cast<uint8_t>(acc_ >> fill_));
  }
}

void G4Encoder::PutRun(bool black, int run) {
  while (run > kMaxMakeupRun) {
    const T4Code& code = MakeupCode(black, kMaxMakeupRun);
    Put(code.bits, code.length);
    run -= kMaxMakeupRun;
  }
  if (run > 63) {
    const T4Code& code = MakeupCode(black, run & ~63);
    Put(code.bits, code.length);
    run &= 63;
  }
  const T4Code& code = TerminatingCode(black, run);
  Put(code.bits, code.length);
}

void G4Encoder::AddRow(const uint8_t* row) {
  const uint8_t* ref = reference_.data();
  const int end = width_;
  int a0 = 0;
  int a1 = Pixel(row, 0) ? 0 : FindChange(row, 0, end, 0);
  int b1 = Pixel(ref, 0) ? 0 : FindChange(ref, 0, end, 0);
  for (;;) {
    const int b2 = FindChangeFrom(ref, b1, end, b1 < end ? Pixel(ref, b1) : 0);
    if (b2 >= a1) {
      const int d = b1 - a1;
      if (d < -3 || d > 3) {
        const int a2 = FindChangeFrom(row, a1, end, a1 < end ? Pixel(row, a1) : 0);
        Put(kHorizontal.bits, kHorizontal.length);
        // a0 stands on white at the start of a row, else on the colour of its pixel.
        const bool whiteFirst = a0 + a1 == 0 || Pixel(row, a0) == 0;
        PutRun(!whiteFirst, a1 - a0);
        PutRun(whiteFirst, a2 - a1);
        a0 = a2;
      } else {
        Put(kVertical[d + 3].bits, kVertical[d + 3].length);
        a0 = a1;
      }
    } else {
      Put(kPass.bits, kPass.length);
      a0 = b2;
    }
    if (a0 >= end) break;
    const int colour = Pixel(row, a0);
    a1 = FindChange(row, a0, end, colour);
    b1 = FindChange(ref, a0, end, !colour);
    b1 = FindChangeFrom(ref, b1, end, colour);
  }
  std::memcpy(reference_.data(), row, reference_.size());
  ++rows_;
}

std::vector<uint8_t> G4Encoder::Finish() {
  Put(kEolCode.bits, kEolCode.length);
  Put(kEolCode.bits, kEolCode.length);
  if (fill_ > 0) Put(0, 8 - fill_);
  return std::move(out_);
}

}  // namespace ql
