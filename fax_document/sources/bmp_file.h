#pragma once
// BMP files: the headers, reading a colour or grey BMP into memory, and writing a
// 1-bit BMP. The BMP line source reads through this, and writes its dithered copy with it.

#include <cstdint>
#include <filesystem>

#include "fax_document/convert/mono_bitmap.h"
#include "fax_document/convert/rgb_image.h"

namespace ql {

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

// Reads an uncompressed BMP of 1, 4, 8, 24 or 32 bits per pixel. -8002 when the file is
// not such a BMP, or a file error.
int ReadBmpAsRgb(const std::filesystem::path& path, RgbImage& image);
// Writes a 1-bit BMP (palette black, white; bottom-up rows).
int WriteMonoBmp(const std::filesystem::path& path, const TMonoBitmap& bitmap);

}  // namespace ql
