#pragma once
// The built-in fax font: two fixed-pitch bitmap fonts of 256 glyphs for code page 437,
// embedded in the program (16384 bytes: the small font of 12 x 8 cells at offset 0, the
// standard font of 20 x 16 cells at offset 4096). Glyph rows are stored top to bottom,
// leftmost pixel in the most significant bit, bit 1 = black.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ql {

enum TFontType { ffStandard, ffSmall };

inline constexpr int kFaxFontResourceSize = 16384;
inline constexpr int kSmallFontGlyphBytes = 16;
inline constexpr int kStandardFontGlyphBytes = 48;

// The embedded font resource and its size.
const uint8_t* FaxFontResource();
size_t FaxFontResourceSize();

// Bytes per glyph (16 or 48) of a font type.
inline int GlyphBytesOf(TFontType type) { return type == ffSmall ? kSmallFontGlyphBytes : kStandardFontGlyphBytes; }

struct FontMetrics {
  unsigned BytesPerGlyph = 0;
  unsigned CellWidth = 0;   // pixels
  unsigned BytesPerRow = 0;
  unsigned CellHeight = 0;  // raster rows
};

class FaxFont {
 public:
  // Copies a font out of the resource: 16 bytes per glyph selects the small font, any
  // other value the standard font. At high resolution every glyph row is doubled.
  // Returns 0, or -8052 when the resource is missing or malformed.
  int Load(int bytesPerGlyph, bool highRes);
  // Loads from a given resource instead of the embedded one (tests of a missing font).
  int LoadFrom(const uint8_t* resource, size_t size, int bytesPerGlyph, bool highRes);

  bool Loaded() const { return loaded_; }
  const FontMetrics& Metrics() const { return metrics_; }

  // Draws glyph row `row` (1-based) of every character of `text` side by side into
  // `raster` (rasterBytes long), starting at its first bit. Rows past the cell height
  // draw nothing; characters that would not fit are left out.
  void DrawTextRow(std::string_view text, unsigned row, uint8_t* raster, size_t rasterBytes) const;

 private:
  static constexpr unsigned kMaxCellHeight = 32;

  bool loaded_ = false;
  FontMetrics metrics_;
  // Every glyph row as one number, leftmost pixel in the most significant bit and
  // nothing beyond the cell width, by row and then character: drawing a text row looks
  // up one number per character from a single table row.
  uint32_t rowBits_[kMaxCellHeight][256] = {};
};

}  // namespace ql
