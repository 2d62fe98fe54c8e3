#pragma once
// A colour image in memory: what a colour or grey picture is read into before it is
// dithered to black and white.

#include <cstdint>
#include <vector>

namespace ql {

// An image of 8-bit RGB pixels, top row first.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // 3 bytes per pixel
};

}  // namespace ql
