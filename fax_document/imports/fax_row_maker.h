#pragma once
// Turns the rows of one source page into the page's fax raster rows. A bilevel page at
// fax size passes straight through (cut or padded on the right); any other is scaled
// by area averaging, then made black and white again: bilevel pages by a threshold that
// keeps thin strokes, grey and colour pages by ordered dithering.

#include <cstdint>
#include <memory>
#include <vector>

#include "fax_document/imports/page_scaler.h"

namespace ql {

class FaxRowMaker {
 public:
  // A page of sourceWidth x sourceHeight pixels that becomes targetWidth x targetHeight
  // pixels (targetWidth at most faxWidth) on a fax page faxWidth wide, `left` pixels
  // from its left edge when scaled.
  void Start(unsigned sourceWidth, unsigned sourceHeight, unsigned targetWidth, unsigned targetHeight,
             unsigned faxWidth, bool bilevel, unsigned left = 0);

  unsigned FaxWidth() const { return faxWidth_; }
  unsigned SourceRowsWanted() const { return sourceHeight_ - rowsAdded_; }
  // Whether the source rows may be given as bits (AddBitsRow) or must be grey (AddGreyRow).
  bool TakesBits() const { return !scaler_; }

  // The next source row as bits (fax sense, 1 = black, MSB first); only when TakesBits().
  void AddBitsRow(const uint8_t* bits);
  // The next source row as grey (0 black to 255 white), one byte per pixel.
  void AddGreyRow(const uint8_t* grey);
  // The source ended before all its rows: the rest is white.
  void Finish();
  // ORs the next fax row into `raster` (zeroed, faxWidth / 8 bytes); false when no row is
  // ready, either because more source rows are needed or because the page is done.
  bool TakeRow(uint8_t* raster);
  bool Done() const;

 private:
  unsigned sourceWidth_ = 0, sourceHeight_ = 0, faxWidth_ = 1728;
  bool bilevel_ = true;
  unsigned left_ = 0;
  unsigned rowsAdded_ = 0;
  unsigned rowsMade_ = 0;
  bool finished_ = false;
  std::unique_ptr<PageScaler> scaler_;
  std::vector<uint8_t> bits_;  // the one pending row when passing straight through
  bool haveBits_ = false;
  std::vector<uint8_t> grey_;
};

}  // namespace ql
