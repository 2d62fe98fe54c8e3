#include "tools/qlvmodem/page_corrupter.h"


namespace ql::vmodem {

void PageCorrupter::Arm(bool on) {
  armed_ = on;
  pairs_.Reset();
  EndOfCarrier();
}

void PageCorrupter::EndOfCarrier() {
  // Only a carrier that held rows is a page: the training check before it has none.
  if (spoiltRows_ > 0) armed_ = false;
  zeroRun_ = 0;
  rows_ = 0;
  bitInRow_ = 0;
  rowSpoilt_ = false;
  spoiltRows_ = 0;
}

void PageCorrupter::Process(uint8_t* bytes, size_t length) {
  using Byte = ql::dle::Unstuffer::Byte;
  for (size_t i = 0; i < length && armed_; ++i) {
    switch (pairs_.Classify(bytes[i])) {
      case Byte::kData: bytes[i] = SpoilAndTrack(bytes[i], true); break;
      case Byte::kEscape: break;
      case Byte::kDataDle: SpoilAndTrack(ql::dle::kDle, false); break;  // a data 0x10, left as it is
      case Byte::kControl:
        if (pairs_.ControlByte() == ql::dle::kEtx) EndOfCarrier();
        break;
    }
  }
}

// Bits go to the line least significant first.
uint8_t PageCorrupter::SpoilAndTrack(uint8_t byte, bool changeable) {
  uint8_t out = byte;
  for (int bit = 0; bit < 8; ++bit) {
    const uint8_t mask = static_cast<uint8_t>(1u << bit);
    bool one = (out & mask) != 0;
    if (!one && changeable && rows_ > kCleanRows && !rowSpoilt_ && bitInRow_ < kSpoilWithin &&
        (out | mask) != ql::dle::kDle) {
      out = static_cast<uint8_t>(out | mask);
      one = true;
      rowSpoilt_ = true;
      ++spoiltRows_;
    }
    if (one) {
      if (zeroRun_ >= 11) {
        ++rows_;
        bitInRow_ = 0;
        rowSpoilt_ = false;
        zeroRun_ = 0;
        continue;
      }
      zeroRun_ = 0;
    } else {
      ++zeroRun_;
    }
    ++bitInRow_;
  }
  return out;
}

}  // namespace ql::vmodem
