#pragma once
// libtiff's CCITT Group 3 one-dimensional codec, run on memory-backed TIFF images.
// Rows are fax rasters: leftmost pixel in the most significant bit, bit 1 = black.

#include <cstdint>
#include <vector>

namespace ql::reference {

using Raster = std::vector<std::vector<uint8_t>>;

// Decodes a T.4 bit stream (first bit in bit 0 of each byte) of `rows` rows of `width`
// pixels. Returns false when libtiff reports an error.
// `options` are libtiff's Group 3 options (2-D coding, fill bits before each EOL).
bool DecodeG3(const std::vector<uint8_t>& t4, int width, int rows, Raster& out, uint32_t options = 0);
// Codes rows of `width` pixels with an EOL before each row and RTC at the end.
bool EncodeG3(const Raster& rows, int width, std::vector<uint8_t>& t4, uint32_t options = 0);

}  // namespace ql::reference
