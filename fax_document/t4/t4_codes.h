#pragma once
// The one-dimensional run-length code of ITU-T T.4 (Modified Huffman): terminating codes
// for runs 0-63, make-up codes for multiples of 64 up to 1728 per colour, the extended
// make-up codes 1792-2560 shared by both colours, and the end-of-line code.

#include <array>
#include <cstdint>

namespace ql {

struct T4Code {
  uint16_t bits;    // the code word, first transmitted bit in the most significant of `length` bits
  uint8_t length;   // bits in the code word
  uint16_t lsbFirst;  // the same bits reversed: first transmitted bit in bit 0
};

inline constexpr int kMaxMakeupRun = 2560;
inline constexpr T4Code kEolCode{0x001, 12, 0x800};

// The code tables, indexed by colour (0 white, 1 black): terminating codes by run, make-up
// codes by run / 64 - 1 (64 to 1728, then the shared extended codes 1792 to 2560).
extern const std::array<std::array<T4Code, 64>, 2> kTerminatingCodes;
extern const std::array<std::array<T4Code, 40>, 2> kMakeupCodes;

// Terminating code of a run of 0 to 63 pixels.
inline const T4Code& TerminatingCode(bool black, int run) { return kTerminatingCodes[black][run]; }
// Make-up code of a run of 64 to 2560 pixels, a multiple of 64.
inline const T4Code& MakeupCode(bool black, int run) { return kMakeupCodes[black][run / 64 - 1]; }

// Calls visit(code, run, isMakeup) for every code of the colour's table,
// the shared extended make-up codes included. Used to build decoding tables.
template <typename Visit>
void ForEachCode(bool black, Visit visit) {
  for (int run = 0; run < 64; ++run) visit(TerminatingCode(black, run), run, false);
  for (int run = 64; run <= kMaxMakeupRun; run += 64) visit(MakeupCode(black, run), run, true);
}

}  // namespace ql
