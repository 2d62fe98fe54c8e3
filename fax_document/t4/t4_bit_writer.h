#pragma once
// Packs T.4 code words into bytes, first transmitted bit in bit 0 of each byte.

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
      for (int i = 0; i < 4; ++i) out_[byte_++] |= static_cast<uint8_t>(acc_ >> (8 * i));
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
  uint8_t* out_;
  unsigned byte_ = 0;
  uint64_t acc_ = 0;
  unsigned fill_ = 0;
};

}  // namespace ql
