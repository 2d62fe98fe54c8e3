#include "fax_document/reference/sample_rasters.h"

#include <cmath>
#include <random>

namespace ql::reference {
namespace {

void SetRun(std::vector<uint8_t>& row, int from, int count) {
  for (int x = from; x < from + count && x < static_cast<int>(row.size()) * 8; ++x)
    row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

}  // namespace

Raster BlankPage(int width, int rows) { return Raster(rows, std::vector<uint8_t>(width / 8, 0)); }

Raster TextPage(int width, int rows, uint32_t seed) {
  Raster page = BlankPage(width, rows);
  std::mt19937 random(seed);
  // Text lines of 16 raster rows with 4 blank rows between; glyphs of 18 x 12 pixels
  // made of a few strokes each.
  for (int top = 40; top + 16 < rows; top += 20) {
    const int lineLength = 600 + static_cast<int>(random() % (width - 800));
    for (int x = 100; x < 100 + lineLength; x += 20) {
      if (random() % 6 == 0) continue;  // spaces between words
      const uint32_t shape = random();
      for (int y = 0; y < 12; ++y) {
        auto& row = page[top + y];
        if (shape & 1) SetRun(row, x, 2);                           // left stem
        if ((shape & 2) && y % 11 == 0) SetRun(row, x, 16);          // top and bottom bars
        if ((shape & 4) && y == 6) SetRun(row, x, 14);               // middle bar
        if (shape & 8) SetRun(row, x + 14, 2);                       // right stem
        if ((shape & 16) && y > 4) SetRun(row, x + 4 + y / 2, 2);    // diagonal
      }
    }
  }
  return page;
}

Raster DitheredPhoto(int width, int rows) {
  Raster page = BlankPage(width, rows);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < width; ++x) {
      // A smooth picture: rings and a gradient, dithered with a 4 x 4 ordered matrix.
      static const int kMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
      const double dx = x - width / 2.0, dy = (y - rows / 2.0) * 2;
      const double level = 0.5 + 0.35 * std::sin(std::sqrt(dx * dx + dy * dy) / 40.0) + 0.15 * (x - width / 2.0) / width;
      if (level * 16 < kMatrix[y % 4][x % 4] + 0.5) page[y][x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  return page;
}

Raster RandomRuns(int width, int rows, uint32_t seed) {
  Raster page = BlankPage(width, rows);
  std::mt19937 random(seed);
  for (int y = 0; y < rows; ++y) {
    const uint32_t kind = random() % 8;
    if (kind == 0) continue;                                         // blank
    if (kind == 1) { SetRun(page[y], 0, width); continue; }          // all black
    bool black = random() % 2 == 0;
    for (int x = 0; x < width;) {
      const int limit = kind == 2 ? 2600 : kind == 3 ? 200 : 70;
      const int run = 1 + static_cast<int>(random() % limit);
      if (black) SetRun(page[y], x, run);
      x += run;
      black = !black;
    }
  }
  return page;
}

}  // namespace ql::reference
