#include "fax_document/ui/mono_rotation.h"

#include <cstdint>

namespace ql {
namespace {

// Calls paint(x, y) for every black pixel of the bitmap. Fax pages are mostly white, so
// whole white bytes are passed over at once.
template <typename Paint>
void ForEachBlack(const TMonoBitmap& bitmap, Paint paint) {
  const uint8_t white = bitmap.WhiteIsOne() ? 0xFF : 0x00;
  const int bytes = bitmap.BytesPerRow();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.Row(y);
    for (int b = 0; b < bytes; ++b) {
      const uint8_t black = static_cast<uint8_t>(row[b] ^ white);
      if (black == 0) continue;
      for (int bit = 0; bit < 8; ++bit)
        if (black & (0x80 >> bit)) paint(b * 8 + bit, y);
    }
  }
}

}  // namespace

TMonoBitmap RotateClockwise(const TMonoBitmap& bitmap, int turns) {
  turns = ((turns % 4) + 4) % 4;
  if (turns == 0 || bitmap.Empty()) return bitmap;
  // Turns keep to the bitmap's own width, not its width in whole bytes, so that two
  // quarter turns are one half turn and four give the bitmap back unchanged.
  const int wide = bitmap.Width();
  const int high = bitmap.Height();
  if (turns == 2) {
    TMonoBitmap result(wide, high, bitmap.WhiteIsOne());
    ForEachBlack(bitmap, [&](int x, int y) { result.SetBlack(wide - 1 - x, high - 1 - y); });
    return result;
  }
  TMonoBitmap result(high, wide, bitmap.WhiteIsOne());
  if (turns == 1)
    ForEachBlack(bitmap, [&](int x, int y) { result.SetBlack(high - 1 - y, x); });
  else
    ForEachBlack(bitmap, [&](int x, int y) { result.SetBlack(y, wide - 1 - x); });
  return result;
}

}  // namespace ql
