#include "fax_document/sources/fax_font.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// ORs a number into four bytes, most significant byte first.
void OrBigEndian32(uint8_t* p, uint32_t bits) {
  if constexpr (std::endian::native == std::endian::little) bits = __builtin_bswap32(bits);
  uint32_t word;
  std::memcpy(&word, p, 4);
  word |= bits;
  std::memcpy(p, &word, 4);
}

}  // namespace

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
  const uint32_t cellMask = ~0u << (32 - metrics_.CellWidth);
  for (unsigned row = 0; row < metrics_.CellHeight; ++row) {
    // At high resolution every stored row is drawn twice.
    const unsigned stored = highRes ? row / 2 : row;
    for (unsigned c = 0; c < 256; ++c) {
      const uint8_t* source = font + c * loaded.BytesPerGlyph + stored * loaded.BytesPerRow;
      uint32_t bits = 0;
      for (unsigned i = 0; i < loaded.BytesPerRow; ++i) bits |= static_cast<uint32_t>(source[i]) << (24 - 8 * i);
      rowBits_[row][c] = bits & cellMask;
    }
  }
  loaded_ = true;
  return 0;
}

void FaxFont::DrawTextRow(std::string_view text, unsigned row, uint8_t* raster, size_t rasterBytes) const {
  if (!loaded_ || row == 0 || row > metrics_.CellHeight) return;
  const uint32_t* bits = rowBits_[row - 1];
  const unsigned width = metrics_.CellWidth;
  const size_t count = std::min(text.size(), rasterBytes * 8 / width);
  // Glyph rows are gathered into `pending` (most significant bit first) and ORed into
  // the raster four bytes at a time.
  uint64_t pending = 0;
  unsigned held = 0;
  uint8_t* out = raster;
  for (size_t i = 0; i < count; ++i) {
    pending |= static_cast<uint64_t>(bits[static_cast<uint8_t>(text[i])]) << (32 - held);
    held += width;
    if (held >= 32) {
      OrBigEndian32(out, static_cast<uint32_t>(pending >> 32));
      out += 4;
      pending <<= 32;
      held -= 32;
    }
  }
  for (unsigned k = 0; k * 8 < held; ++k) out[k] |= static_cast<uint8_t>(pending >> (56 - 8 * k));
}

}  // namespace ql
