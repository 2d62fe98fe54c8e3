#pragma once
// Test pages as TIFF files: 1728 pixels wide, Group 3 one-dimensional, first bit in the
// least significant position, as fax machines and the virtual line's remotes read them.

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace ql::vmodem::testing {

// Writes page `page` (0-based) of `pages` into an open TIFF. `fill(y, row)` draws row y
// into a cleared 216-byte row (bit set = black).
inline void WriteG3Page(TIFF* tif, int rows, int yDpi, const std::function<void(int, std::vector<uint8_t>&)>& fill,
                        int page = 0, int pages = 1) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1728);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0f);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(yDpi));
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
  if (pages > 1) {
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, pages);
  }
  std::vector<uint8_t> row(216);
  for (int y = 0; y < rows; ++y) {
    std::fill(row.begin(), row.end(), 0);
    fill(y, row);
    TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFWriteDirectory(tif);
}

}  // namespace ql::vmodem::testing
