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

}  // namespace ql
