// faxfont: writes the 16384-byte fax font blob that the text source draws with.
//
//   faxfont SMALL.pcf.gz STANDARD.pcf.gz OUT.bin
//
// The blob holds two fonts of 256 glyphs for code page 437: the small font (cells of
// 12 x 8 pixels, 16 bytes a glyph) at offset 0 and the standard font (20 x 16 pixels,
// 48 bytes a glyph) at offset 4096. Rows run top to bottom, leftmost pixel in the most
// significant bit, bit 1 = black.
//
// Fax pixels at standard resolution are twice as tall as they are wide, so a bitmap font
// drawn for square pixels keeps its shape when every source pixel becomes two pixels
// side by side. The small font comes from a 5 x 8 font and the standard font from a
// 9 x 15 font, each doubled in width and centred in its cell. Box-drawing and block
// characters are stretched over the padding so that they join their neighbours.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "fax_document/sources/cp437.h"

namespace {

struct CellLayout {
  int offset;         // offset of the font in the blob
  int width, height;  // cell in pixels
  int rowBytes;       // bytes per glyph row
};

constexpr CellLayout kSmall{0, 12, 8, 2};
constexpr CellLayout kStandard{4096, 20, 16, 3};
constexpr int kBlobSize = 16384;

bool IsBoxOrBlock(char32_t c) { return c >= 0x2500 && c <= 0x259F; }

class Cell {
 public:
  explicit Cell(const CellLayout& layout) : layout_(layout), pixels_(layout.width * layout.height, 0) {}
  void Set(int x, int y) {
    if (x >= 0 && x < layout_.width && y >= 0 && y < layout_.height) pixels_[y * layout_.width + x] = 1;
  }
  bool Get(int x, int y) const { return pixels_[y * layout_.width + x] != 0; }
  // Repeats the outermost drawn column and row into the padding of the cell.
  void StretchToEdges(int left, int right, int bottom) {
    for (int y = 0; y < layout_.height; ++y) {
      for (int x = 0; x < left; ++x)
        if (Get(left, y)) Set(x, y);
      for (int x = right + 1; x < layout_.width; ++x)
        if (Get(right, y)) Set(x, y);
    }
    for (int y = bottom + 1; y < layout_.height; ++y)
      for (int x = 0; x < layout_.width; ++x)
        if (Get(x, bottom)) Set(x, y);
  }
  void Store(std::vector<unsigned char>& blob, int code) const {
    const int glyphBytes = layout_.rowBytes * layout_.height;
    unsigned char* glyph = blob.data() + layout_.offset + code * glyphBytes;
    for (int y = 0; y < layout_.height; ++y)
      for (int x = 0; x < layout_.width; ++x)
        if (Get(x, y)) glyph[y * layout_.rowBytes + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
  }

 private:
  const CellLayout& layout_;
  std::vector<unsigned char> pixels_;
};

// Draws every glyph of one font into its part of the blob. Returns false on failure.
bool DrawFont(FT_Library library, const char* path, const CellLayout& layout, std::vector<unsigned char>& blob) {
  FT_Face face = nullptr;
  if (FT_New_Face(library, path, 0, &face) != 0) {
    std::fprintf(stderr, "faxfont: cannot load %s\n", path);
    return false;
  }
  if (face->num_fixed_sizes > 0) FT_Select_Size(face, 0);
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  const int sourceWidth = static_cast<int>(face->size->metrics.max_advance >> 6);
  const int sourceHeight = static_cast<int>(face->size->metrics.height >> 6);
  const int left = (layout.width - 2 * sourceWidth) / 2;
  int missing = 0;
  for (int code = 0; code < 256; ++code) {
    const char32_t c = ql::Cp437ToUnicode(static_cast<unsigned char>(code));
    if (c == 0) continue;
    const FT_UInt index = FT_Get_Char_Index(face, c);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO) != 0) {
      ++missing;
      continue;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    Cell cell(layout);
    for (unsigned row = 0; row < bm.rows; ++row) {
      const unsigned char* bits = bm.buffer + row * bm.pitch;
      for (unsigned col = 0; col < bm.width; ++col) {
        if ((bits[col / 8] & (0x80 >> (col % 8))) == 0) continue;
        const int x = left + 2 * (slot->bitmap_left + static_cast<int>(col));
        const int y = ascent - slot->bitmap_top + static_cast<int>(row);
        cell.Set(x, y);
        cell.Set(x + 1, y);
      }
    }
    if (IsBoxOrBlock(c)) cell.StretchToEdges(left, left + 2 * sourceWidth - 1, sourceHeight - 1);
    cell.Store(blob, code);
  }
  std::fprintf(stderr, "faxfont: %s: %d x %d source cell, %d characters missing\n", path, sourceWidth, sourceHeight,
               missing);
  FT_Done_Face(face);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: faxfont SMALL.pcf.gz STANDARD.pcf.gz OUT.bin\n");
    return 2;
  }
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return 1;
  std::vector<unsigned char> blob(kBlobSize, 0);
  const bool ok = DrawFont(library, argv[1], kSmall, blob) && DrawFont(library, argv[2], kStandard, blob);
  FT_Done_FreeType(library);
  if (!ok) return 1;
  std::ofstream out(argv[3], std::ios::binary);
  out.write(reinterpret_cast<const char*>(blob.data()), static_cast<std::streamsize>(blob.size()));
  return out ? 0 : 1;
}
