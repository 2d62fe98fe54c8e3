#pragma once
// Scales a grey picture (one byte per pixel, 0 black to 255 white) row by row to
// another size by area averaging: each target pixel is the mean of the source area it
// covers, which keeps thin lines and fine text visible when shrinking and gives smooth
// steps when enlarging. Rows stream through: only the target rows still being filled
// are kept.

#include <cstdint>
#include <deque>
#include <vector>

namespace ql {

class PageScaler {
 public:
  PageScaler(unsigned sourceWidth, unsigned sourceHeight, unsigned targetWidth, unsigned targetHeight);

  unsigned TargetWidth() const { return targetWidth_; }
  unsigned TargetHeight() const { return targetHeight_; }

  // Adds the next source row (sourceWidth bytes). Rows past sourceHeight are ignored.
  void AddRow(const uint8_t* grey);
  // Moves the next finished target row into `row` (targetWidth bytes); false when none is
  // finished yet. After the last source row every target row is finished.
  bool TakeRow(std::vector<uint8_t>& row);
  // Ends the picture early (a short source): the rows not covered are white.
  void Finish();
  // Every target row has been taken.
  bool Done() const { return rowsTaken_ >= targetHeight_; }

 private:
  struct Span {
    unsigned first;               // first source pixel
    std::vector<float> weights;   // one per source pixel from `first`, summing to 1
  };
  static std::vector<Span> Spans(unsigned source, unsigned target);
  void Complete(unsigned upToRow);

  unsigned sourceWidth_, sourceHeight_, targetWidth_, targetHeight_;
  std::vector<Span> columns_;
  std::vector<Span> rows_;          // per target row: the source rows it covers
  std::vector<float> scaledRow_;    // the current source row, scaled across
  std::deque<std::vector<float>> pending_;  // target rows from firstPending_ on
  unsigned firstPending_ = 0;       // target row of pending_.front()
  unsigned rowsAdded_ = 0;
  unsigned rowsFinished_ = 0;       // target rows complete (all their source rows seen)
  unsigned rowsTaken_ = 0;
};

}  // namespace ql
