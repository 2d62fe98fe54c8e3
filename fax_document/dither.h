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

class BufferedFile;

// The fields of a BMP file's 14-byte file header and 40-byte information header.
struct BmpInfo {
  uint32_t dataOffset = 0;   // where the pixel rows start
  uint32_t infoSize = 0;     // the palette follows the information header
  int32_t width = 0;
  int32_t height = 0;        // negative for rows stored top-down
  unsigned bitsPerPixel = 0;
  uint32_t compression = 0;
  uint32_t colours = 0;
};
// Reads both headers from the start of the file: -8002 unless it is an uncompressed BMP
// with a sensible size, or a file error.
int ReadBmpInfo(BufferedFile& file, BmpInfo& info);

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
