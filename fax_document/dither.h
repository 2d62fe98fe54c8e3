#pragma once
// Ordered dithering of colour and grey images to black and white, and reading of the
// BMP files it is applied to.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "fax_document/mono_bitmap.h"

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

// An image of 8-bit RGB pixels, top row first.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // 3 bytes per pixel
};

// Reads an uncompressed BMP of 1, 4, 8, 24 or 32 bits per pixel. -8002 when the file is
// not such a BMP, or a file error.
int ReadBmpAsRgb(const std::filesystem::path& path, RgbImage& image);
// Dithers an image: pixel (x, y) is white when (r + g + b) / 3 > T[x mod 16][y mod 16].
TMonoBitmap DitherImage(const RgbImage& image);
// Writes a 1-bit BMP (palette black, white; bottom-up rows).
int WriteMonoBmp(const std::filesystem::path& path, const TMonoBitmap& bitmap);

}  // namespace ql
