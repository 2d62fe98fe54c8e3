#pragma once
// A monochrome bitmap: rows of bytes, leftmost pixel in the most significant bit. Which bit
// value is white is explicit, because fax rasters use 1 = black and platform bitmaps
// (the converter's bitmap source, the unpacker's output) use 1 = white.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ql {

class TMonoBitmap {
 public:
  TMonoBitmap() = default;
  // A bitmap of the given size, all white. Rows are padded to whole bytes.
  TMonoBitmap(int width, int height, bool whiteIsOne = true);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BytesPerRow() const { return bytesPerRow_; }
  bool WhiteIsOne() const { return whiteIsOne_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  uint8_t* Row(int y) { return bits_.data() + static_cast<size_t>(y) * bytesPerRow_; }
  const uint8_t* Row(int y) const { return bits_.data() + static_cast<size_t>(y) * bytesPerRow_; }
  std::vector<uint8_t>& Bits() { return bits_; }
  const std::vector<uint8_t>& Bits() const { return bits_; }

  bool IsBlack(int x, int y) const;
  void SetBlack(int x, int y, bool black = true);

  // The same picture with the other bit sense.
  TMonoBitmap Inverted() const;
  // A straight nearest-neighbour copy stretched to the given size.
  TMonoBitmap Stretched(int width, int height) const;
  // Copies `source` into this bitmap with its top-left corner at (0, 0), clipped.
  void CopyFrom(const TMonoBitmap& source);

 private:
  int width_ = 0;
  int height_ = 0;
  int bytesPerRow_ = 0;
  bool whiteIsOne_ = true;
  std::vector<uint8_t> bits_;
};

}  // namespace ql
