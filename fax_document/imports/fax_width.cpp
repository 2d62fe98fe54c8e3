#include "fax_document/imports/fax_width.h"

#include <algorithm>
#include <cstring>

namespace ql {

unsigned AdjustedFaxWidth(unsigned width) {
  if (width <= 1736) return 1728;
  if (width >= 2000 && width <= 2056) return 2048;
  return 0;
}

void FitRow(const uint8_t* row, unsigned width, uint8_t* dest, unsigned faxWidth) {
  const unsigned pixels = std::min(width, faxWidth);
  std::memcpy(dest, row, pixels / 8);
  if (pixels % 8 != 0) dest[pixels / 8] = static_cast<uint8_t>(row[pixels / 8] & (0xFF00 >> (pixels % 8)));
}

}  // namespace ql
