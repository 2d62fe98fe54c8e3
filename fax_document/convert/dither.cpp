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

}  // namespace ql
