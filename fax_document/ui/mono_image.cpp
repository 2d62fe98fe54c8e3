#include "fax_document/ui/mono_image.h"

#include <algorithm>
#include <vector>

namespace ql {
namespace {

QImage::Format MonoFormat() { return QImage::Format_Mono; }  // leftmost pixel in the most significant bit

void SetTwoColours(QImage& image, const TMonoBitmap& bitmap, QColor black, QColor white) {
  // Index 0 is the colour of 0 bits.
  if (bitmap.WhiteIsOne())
    image.setColorTable({black.rgb(), white.rgb()});
  else
    image.setColorTable({white.rgb(), black.rgb()});
}

}  // namespace

QImage MonoImageView(const TMonoBitmap& bitmap, QColor foreground, QColor background) {
  if (bitmap.Empty()) return {};
  QImage image(bitmap.Bits().data(), bitmap.Width(), bitmap.Height(), bitmap.BytesPerRow(), MonoFormat());
  SetTwoColours(image, bitmap, foreground, background);
  return image;
}

QImage BlackAndWhiteImage(const TMonoBitmap& bitmap) {
  return MonoImageView(bitmap, Qt::black, Qt::white).copy();
}

QImage DisplayImage(const TMonoBitmap& bitmap, int width, int height, QColor foreground, QColor background) {
  if (bitmap.Empty() || width <= 0 || height <= 0) return {};
  if (width >= bitmap.Width() && height >= bitmap.Height()) {
    const TMonoBitmap stretched = bitmap.Stretched(width, height);
    return MonoImageView(stretched, foreground, background).copy();
  }
  if (width > bitmap.Width() || height > bitmap.Height()) {
    // Enlarged one way, reduced the other: enlarge first, then reduce.
    const TMonoBitmap larger =
        bitmap.Stretched(std::max(width, bitmap.Width()), std::max(height, bitmap.Height()));
    return DisplayImage(larger, width, height, foreground, background);
  }
  // Box filter: every source pixel counts in the target pixel it falls into.
  const int sw = bitmap.Width(), sh = bitmap.Height();
  std::vector<int> columnOf(static_cast<size_t>(sw));
  std::vector<int> columnsIn(static_cast<size_t>(width), 0);
  for (int x = 0; x < sw; ++x) {
    columnOf[x] = std::min(width - 1, static_cast<int>(static_cast<int64_t>(x) * width / sw));
    ++columnsIn[columnOf[x]];
  }
  const uint8_t white = bitmap.WhiteIsOne() ? 0xFF : 0x00;
  QImage image(width, height, QImage::Format_Indexed8);
  QList<QRgb> palette(256);
  for (int i = 0; i < 256; ++i) {
    const auto mix = [i](int a, int b) { return a + (b - a) * i / 255; };
    palette[i] = qRgb(mix(foreground.red(), background.red()), mix(foreground.green(), background.green()),
                      mix(foreground.blue(), background.blue()));
  }
  image.setColorTable(palette);
  std::vector<int> black(static_cast<size_t>(width));
  const int bytes = bitmap.BytesPerRow();
  for (int y = 0; y < height; ++y) {
    const int from = static_cast<int>(static_cast<int64_t>(y) * sh / height);
    const int to = std::max(from + 1, static_cast<int>(static_cast<int64_t>(y + 1) * sh / height));
    std::fill(black.begin(), black.end(), 0);
    for (int sy = from; sy < to; ++sy) {
      const uint8_t* row = bitmap.Row(sy);
      for (int b = 0; b < bytes; ++b) {
        const uint8_t dark = static_cast<uint8_t>(row[b] ^ white);
        if (dark == 0) continue;
        for (int bit = 0; bit < 8; ++bit) {
          const int x = b * 8 + bit;
          if ((dark & (0x80 >> bit)) && x < sw) ++black[columnOf[x]];
        }
      }
    }
    uchar* out = image.scanLine(y);
    const int rows = to - from;
    for (int x = 0; x < width; ++x) {
      const int total = columnsIn[x] * rows;
      out[x] = total == 0 ? 255 : static_cast<uchar>(255 - black[x] * 255 / total);
    }
  }
  return image;
}

TMonoBitmap MonoFromImage(const QImage& image) {
  TMonoBitmap bitmap(image.width(), image.height(), true);
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if (qGray(line[x]) < 128) bitmap.SetBlack(x, y);
  }
  return bitmap;
}

}  // namespace ql
