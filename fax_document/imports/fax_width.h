#pragma once
// Fitting rendered rows to a fax page: pages close to a fax width are cut or padded on
// the right to exactly that width, as fax renderers do, so pixels keep their places.

#include <cstdint>

namespace ql {

// The fax width a raster `width` pixels wide becomes without scaling: 1728 for widths
// from 1680 to 1736 (A4 and Letter at 204 dpi) and for narrower ones (padded), 2048 for
// 2000 to 2056 (B4); 0 when the page must be scaled down to fit 1728.
unsigned AdjustedFaxWidth(unsigned width);

// Copies the first min(width, faxWidth) pixels of a row (fax sense, MSB first) into
// `dest` (faxWidth / 8 bytes, zeroed by the caller); pixels past `width` stay white.
void FitRow(const uint8_t* row, unsigned width, uint8_t* dest, unsigned faxWidth);

}  // namespace ql
