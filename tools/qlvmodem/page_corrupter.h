#pragma once
// Spoils the first page a Class 1 program sends with +FTM, so the far receiver's
// copy-quality check fails and it answers the page with RTN. The far T.30 receiver
// counts a row as bad when it does not decode to the page width; it rejects a page
// once more than about one row in twenty is bad. So every row after the first few
// gets one bit changed near its start: a 0 becomes a 1, which can never form the
// eleven zeros of an end-of-line code, so the row boundaries stay detectable and
// each spoilt row is counted on its own. The training check (all zeros, no rows)
// passes untouched. The data is changed in place in its DLE-stuffed form; bytes that
// are or would become DLE are left alone, so the length never changes.

#include <cstddef>
#include <cstdint>

#include "serial/dle/dle_codec.h"

namespace ql::vmodem {

class PageCorrupter {
 public:
  // Armed for the current call; disarms itself after the first spoilt page.
  void Arm(bool on);
  bool Armed() const { return armed_; }
  // Page data as the program wrote it (DLE-stuffed), up to and including DLE ETX.
  void Process(uint8_t* bytes, size_t length);

  static constexpr int kCleanRows = 3;  // rows left intact at the top of the page
  static constexpr int kSpoilWithin = 4;  // the changed bit lies in a row's first bits

 private:
  uint8_t SpoilAndTrack(uint8_t byte, bool changeable);
  void EndOfCarrier();

  bool armed_ = false;
  ql::dle::Unstuffer pairs_;
  int zeroRun_ = 0;        // consecutive 0 bits seen
  int rows_ = 0;           // end-of-line codes seen in this carrier
  int bitInRow_ = 0;       // bits since the last end-of-line code
  bool rowSpoilt_ = false;
  int spoiltRows_ = 0;
};

}  // namespace ql::vmodem
