#pragma once
// Packs T.4 code words into bytes, first transmitted bit in bit 0 of each byte.

#include <bit>
#include <cstdint>
#include <cstring>

#include "fax_document/t4/t4_codes.h"

namespace ql {

class T4BitWriter {
 public:
  // `out` must be zeroed over the bytes the caller will use.
  explicit T4BitWriter(uint8_t* out) : out_(out) {}

  void Put(uint32_t lsbFirstBits, unsigned length) {
    acc_ |= static_cast<uint64_t>(lsbFirstBits) << fill_;
    fill_ += length;
    if (fill_ >= 32) {
      OrLow32(out_ + byte_, static_cast<uint32_t>(acc_));
      byte_ += 4;
      acc_ >>= 32;
      fill_ -= 32;
    }
  }
  void Put(const T4Code& code) { Put(code.lsbFirst, code.length); }

  // Puts a run of `run` pixels of one colour: make-up codes while over 63, then the
  // terminating code.
  void PutRun(bool black, unsigned run) {
    while (run > static_cast<unsigned>(kMaxMakeupRun)) {
      Put(MakeupCode(black, kMaxMakeupRun));
      run -= kMaxMakeupRun;
    }
    if (run > 63) {
      Put(MakeupCode(black, static_cast<int>(run & ~63u)));
      run &= 63;
    }
    Put(TerminatingCode(black, static_cast<int>(run)));
  }

  // Writes out the bits still held; returns the index of the byte being filled and sets
  // `bit` to the next bit position in it.
  unsigned Finish(unsigned& bit) {
    unsigned bytes = byte_;
    for (unsigned i = 0; i * 8 < fill_; ++i) out_[bytes + i] |= static_cast<uint8_t>(acc_ >> (8 * i));
    bit = fill_ % 8;
    return bytes + fill_ / 8;
  }

 private:
  // ORs four bytes in, the low byte of `bits` first: one load and store where the
  // machine stores its words that way.
  static void OrLow32(uint8_t* p, uint32_t bits) {
    if constexpr (std::endian::native == std::endian::little) {
      uint32_t word;
      std::memcpy(&word, p, 4);
      word |= bits;
      std::memcpy(p, &word, 4);
    } else {
      for (int i = 0; i < 4; ++i) p[i] |= static_cast<uint8_t>(bits >> (8 * i));
    }
  }

  uint8_t* out_;
  unsigned byte_ = 0;
  uint64_t acc_ = 0;
  unsigned fill_ = 0;
};

}  // namespace ql
