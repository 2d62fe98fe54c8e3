#include "fax_document/convert/dither.h"

namespace ql {

TDitherMatrix::TDitherMatrix() {
  for (unsigned i = 0; i < 16; ++i)
    for (unsigned j = 0; j < 16; ++j) {
      unsigned f = 0;
      for (unsigned k = 0; k < 4; ++k) {
        const unsigned bi = (i >> k) & 1, bj = (j >> k) & 1;
        f = 2 * f | 2 * (bi ^ bj) | bj;
      }
      t_[i][j] = static_cast<uint8_t>(4 * f);
    }
}

TMonoBitmap DitherImage(const RgbImage& image) {
  static const TDitherMatrix matrix;
  TMonoBitmap result(image.width, image.height, true);
  const uint8_t* p = image.rgb.data();
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x, p += 3) {
      const unsigned brightness = (p[0] + p[1] + p[2]) / 3u;
      if (brightness <= matrix.Threshold(static_cast<unsigned>(x), static_cast<unsigned>(y))) result.SetBlack(x, y);
    }
  return result;
}

TBayerMatrix::TBayerMatrix() {
  // Built by doubling: each 2 x 2 step puts the ranks 0, 2, 3, 1 (scaled by 4 each time)
  // in the four quarters, so neighbouring thresholds are as far apart as they can be.
  for (unsigned y = 0; y < 16; ++y)
    for (unsigned x = 0; x < 16; ++x) {
      unsigned rank = 0;
      for (unsigned bit = 8; bit != 0; bit >>= 1) {
        const unsigned bx = (x & bit) != 0, by = (y & bit) != 0;
        rank = rank * 4 + (by ? (bx ? 1 : 3) : (bx ? 2 : 0));
      }
      rank_[y][x] = static_cast<uint8_t>(rank);
    }
}

void DitherGreyRow(const uint8_t* grey, unsigned width, unsigned y, uint8_t* raster, unsigned offset) {
  static const TBayerMatrix matrix;
  // A pixel is black when its grey lies below the threshold (rank + 1/2) / 256 of the
  // scale: grey 0 is black everywhere, grey 255 nowhere.
  for (unsigned x = 0; x < width; ++x) {
    const unsigned at = x + offset;
    if (512u * grey[x] < (2u * matrix.Rank(at, y) + 1) * 255u) raster[at / 8] |= static_cast<uint8_t>(0x80 >> (at % 8));
  }
}

}  // namespace ql
