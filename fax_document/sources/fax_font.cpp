#include "fax_document/sources/fax_font.h"

#include <cstring>

#include "serial/errors/error_codes.h"

namespace ql {

int FaxFont::Load(int bytesPerGlyph, bool highRes) {
  return LoadFrom(FaxFontResource(), FaxFontResourceSize(), bytesPerGlyph, highRes);
}

int FaxFont::LoadFrom(const uint8_t* resource, size_t size, int bytesPerGlyph, bool highRes) {
  loaded_ = false;
  if (resource == nullptr || size != static_cast<size_t>(kFaxFontResourceSize)) return ecFontFileNotFound;
  const bool small = bytesPerGlyph == kSmallFontGlyphBytes;
  const FontMetrics loaded = small ? FontMetrics{16, 12, 2, 8} : FontMetrics{48, 20, 3, 16};
  const uint8_t* font = resource + (small ? 0 : 4096);
  metrics_ = loaded;
  if (highRes) {
    metrics_.BytesPerGlyph *= 2;
    metrics_.CellHeight *= 2;
  }
  for (unsigned c = 0; c < 256; ++c) {
    const uint8_t* in = font + c * loaded.BytesPerGlyph;
    uint8_t* out = glyphs_ + c * metrics_.BytesPerGlyph;
    for (unsigned row = 0; row < loaded.CellHeight; ++row) {
      const uint8_t* source = in + row * loaded.BytesPerRow;
      if (highRes) {
        std::memcpy(out + 2 * row * loaded.BytesPerRow, source, loaded.BytesPerRow);
        std::memcpy(out + (2 * row + 1) * loaded.BytesPerRow, source, loaded.BytesPerRow);
      } else {
        std::memcpy(out + row * loaded.BytesPerRow, source, loaded.BytesPerRow);
      }
    }
  }
  loaded_ = true;
  return 0;
}

void FaxFont::DrawTextRow(std::string_view text, unsigned row, uint8_t* raster, size_t rasterBytes) const {
  if (!loaded_ || row == 0 || row > metrics_.CellHeight) return;
  size_t bit = 0;
  for (const char ch : text) {
    if (bit + metrics_.CellWidth > rasterBytes * 8) break;
    const uint8_t* glyphRow =
        glyphs_ + static_cast<uint8_t>(ch) * metrics_.BytesPerGlyph + (row - 1) * metrics_.BytesPerRow;
    // Shift the glyph row (at most 24 bits) into place and OR it into the raster.
    uint32_t bits = 0;
    for (unsigned i = 0; i < metrics_.BytesPerRow; ++i) bits |= static_cast<uint32_t>(glyphRow[i]) << (24 - 8 * i);
    bits &= ~0u << (32 - metrics_.CellWidth);
    const size_t byte = bit / 8;
    const unsigned shift = bit % 8;
    const uint64_t placed = static_cast<uint64_t>(bits) << (32 - shift);
    for (unsigned i = 0; i < 5 && byte + i < rasterBytes; ++i)
      raster[byte + i] |= static_cast<uint8_t>(placed >> (56 - 8 * i));
    bit += metrics_.CellWidth;
  }
}

}  // namespace ql
