#include "fax_document/convert/mono_bitmap.h"

#include <algorithm>

namespace ql {

TMonoBitmap::TMonoBitmap(int width, int height, bool whiteIsOne)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      bytesPerRow_((width_ + 7) / 8),
      whiteIsOne_(whiteIsOne),
      bits_(static_cast<size_t>(bytesPerRow_) * height_, whiteIsOne ? 0xFF : 0x00) {}

bool TMonoBitmap::IsBlack(int x, int y) const {
  const bool bit = (Row(y)[x / 8] & (0x80 >> (x % 8))) != 0;
  return bit != whiteIsOne_;
}

void TMonoBitmap::SetBlack(int x, int y, bool black) {
  uint8_t& byte = Row(y)[x / 8];
  const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
  if (black != whiteIsOne_)
    byte |= mask;
  else
    byte &= static_cast<uint8_t>(~mask);
}

TMonoBitmap TMonoBitmap::Inverted() const {
  TMonoBitmap result = *this;
  result.whiteIsOne_ = !whiteIsOne_;
  for (uint8_t& b : result.bits_) b = static_cast<uint8_t>(~b);
  return result;
}

TMonoBitmap TMonoBitmap::Stretched(int width, int height) const {
  TMonoBitmap result(width, height, whiteIsOne_);
  if (Empty() || result.Empty()) return result;
  std::vector<int> sourceX(static_cast<size_t>(result.width_));
  for (int x = 0; x < result.width_; ++x)
    sourceX[x] = static_cast<int>(static_cast<int64_t>(x) * width_ / result.width_);
  for (int y = 0; y < result.height_; ++y) {
    const int sy = static_cast<int>(static_cast<int64_t>(y) * height_ / result.height_);
    const uint8_t* in = Row(sy);
    uint8_t* out = result.Row(y);
    std::fill(out, out + result.bytesPerRow_, 0);
    for (int x = 0; x < result.width_; ++x)
      if (in[sourceX[x] / 8] & (0x80 >> (sourceX[x] % 8))) out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  return result;
}

void TMonoBitmap::CopyFrom(const TMonoBitmap& source) {
  const TMonoBitmap& same = source.whiteIsOne_ == whiteIsOne_ ? source : source.Inverted();
  const int rows = std::min(height_, same.height_);
  const int cols = std::min(width_, same.width_);
  for (int y = 0; y < rows; ++y) {
    const int whole = cols / 8;
    std::copy(same.Row(y), same.Row(y) + whole, Row(y));
    for (int x = whole * 8; x < cols; ++x) SetBlack(x, y, same.IsBlack(x, y));
  }
}

}  // namespace ql
