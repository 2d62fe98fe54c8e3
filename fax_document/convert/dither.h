#pragma once
// Ordered dithering of colour and grey images to black and white.

#include <cstdint>

#include "fax_document/convert/mono_bitmap.h"
#include "fax_document/convert/rgb_image.h"

namespace ql {

// The 16 x 16 threshold table: T[i][j] = 4 f(i, j), with f built from bit 0 to bit 3 of i
// and j as f = 2f | 2((bit k of i) ^ (bit k of j)) | (bit k of j). Values 0 to 124.
class TDitherMatrix {
 public:
  TDitherMatrix();
  uint8_t Threshold(unsigned i, unsigned j) const { return t_[i % 16][j % 16]; }

 private:
  uint8_t t_[16][16];
};

// Dithers an image: pixel (x, y) is white when (r + g + b) / 3 > T[x mod 16][y mod 16].
TMonoBitmap DitherImage(const RgbImage& image);

// The 16 x 16 ordered-dither (Bayer) table with its 256 thresholds spread evenly over the
// grey scale. TDitherMatrix above, which the BMP reader uses, reaches only 124 and has
// 32 distinct values, so every grey lighter than about half comes out white; pictures
// brought in from other formats use this one, where each grey level keeps its share of
// black and pure white stays white.
class TBayerMatrix {
 public:
  TBayerMatrix();
  // The table's rank 0 to 255 at (x, y).
  uint8_t Rank(unsigned x, unsigned y) const { return rank_[y % 16][x % 16]; }

 private:
  uint8_t rank_[16][16];
};

// Dithers one row of grey pixels (0 black to 255 white) into fax raster bits (1 = black,
// leftmost pixel in the most significant bit) ORed into `raster` from pixel `offset` on;
// `y` is the row's place on the page, which picks the table row.
void DitherGreyRow(const uint8_t* grey, unsigned width, unsigned y, uint8_t* raster, unsigned offset = 0);

}  // namespace ql
