#pragma once
// Judges a received page by its rows, as a fax machine does before it answers the page:
// the T.4 one-dimensional data is decoded as it arrives, and each row between two ends
// of line counts as broken when it holds a code that is none of T.4's or does not come
// to the page's width. Rows are counted from the first end of line; three ends of line
// in a row (the return to control) end the page. A page is good when at most a tenth
// of its rows are broken, and it has rows at all.

#include <cstdint>

namespace ql {

class RowCheck {
 public:
  // A new page of 1728 or 2048 pixels.
  void Start(int width);
  // One byte of page data, first bit in bit 0.
  void Feed(uint8_t byte) {
    if (ended_) return;
    for (int bit = 0; bit < 8 && !ended_; ++bit) Bit((byte >> bit) & 1);
  }

  int Rows() const { return rows_; }
  int BrokenRows() const { return broken_; }
  bool Ended() const { return ended_; }
  bool PageIsGood() const { return rows_ > 0 && broken_ * 10 <= rows_; }

 private:
  void Bit(int bit);
  void EndOfLine();

  int width_ = 1728;
  int node_ = 0;
  bool black_ = false;
  bool seenEol_ = false;
  bool ended_ = false;
  bool badCode_ = false;
  bool anyCode_ = false;
  int pixels_ = 0;
  int emptyLines_ = 0;
  int rows_ = 0;
  int broken_ = 0;
};

}  // namespace ql
