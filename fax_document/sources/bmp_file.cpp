#include "fax_document/sources/bmp_file.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "fax_document/apf/buffered_file.h"
#include "fax_document/apf/byte_order.h"
#include "fax_document/apf/file_errors.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr long kMaxPixels = 64L * 1024 * 1024;

}  // namespace

int ReadBmpInfo(BufferedFile& file, BmpInfo& info) {
  uint8_t header[54];
  if (const int rc = file.Seek(0); rc < 0) return rc;
  if (const int rc = file.ReadExactly(header, sizeof header, ecBadGraphicsFormat); rc < 0) return rc;
  info.dataOffset = Le32(header + 10);
  info.infoSize = Le32(header + 14);
  info.width = static_cast<int32_t>(Le32(header + 18));
  info.height = static_cast<int32_t>(Le32(header + 22));
  info.bitsPerPixel = Le16(header + 28);
  info.compression = Le32(header + 30);
  info.colours = Le32(header + 46);
  if (header[0] != 'B' || header[1] != 'M' || info.infoSize < 40 || info.width <= 0 || info.height == 0 ||
      info.height == INT32_MIN || info.compression != 0)
    return ecBadGraphicsFormat;
  return 0;
}

int ReadBmpAsRgb(const std::filesystem::path& path, RgbImage& image) {
  BufferedFile file;
  if (const int rc = file.Open(path); rc < 0) return rc;
  BmpInfo bmp;
  if (const int rc = ReadBmpInfo(file, bmp); rc < 0) return rc;
  const uint32_t dataOffset = bmp.dataOffset;
  const int32_t width = bmp.width;
  const int32_t rawHeight = bmp.height;
  const unsigned bits = bmp.bitsPerPixel;
  uint32_t colours = bmp.colours;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return ecBadGraphicsFormat;
  const long height = rawHeight < 0 ? -static_cast<long>(rawHeight) : rawHeight;
  if (static_cast<long>(width) * height > kMaxPixels) return ecBadGraphicsFormat;
  const long stride = ((static_cast<long>(width) * bits + 31) / 32) * 4;
  if (static_cast<long>(dataOffset) + stride * height > file.Size()) return ecBadGraphicsFormat;

  uint8_t palette[256][4] = {};
  if (bits <= 8) {
    if (colours == 0 || colours > (1u << bits)) colours = 1u << bits;
    if (const int rc = file.Seek(14 + static_cast<long>(bmp.infoSize)); rc < 0) return rc;
    if (const int rc = file.ReadExactly(palette, colours * 4, ecBadGraphicsFormat); rc < 0) return rc;
  }
  try {
    image.width = width;
    image.height = static_cast<int>(height);
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    std::vector<uint8_t> row(static_cast<size_t>(stride));
    for (long stored = 0; stored < height; ++stored) {
      if (const int rc = file.Seek(static_cast<long>(dataOffset) + stored * stride); rc < 0) return rc;
      if (const int rc = file.ReadExactly(row.data(), row.size(), ecBadGraphicsFormat); rc < 0) return rc;
      const long y = rawHeight > 0 ? height - 1 - stored : stored;  // bottom-up unless height < 0
      uint8_t* out = image.rgb.data() + static_cast<size_t>(y) * width * 3;
      for (int x = 0; x < width; ++x, out += 3) {
        if (bits >= 24) {
          const uint8_t* p = row.data() + static_cast<size_t>(x) * (bits / 8);
          out[0] = p[2];
          out[1] = p[1];
          out[2] = p[0];
          continue;
        }
        const unsigned bitPos = static_cast<unsigned>(x) * bits;
        const unsigned index = (row[bitPos / 8] >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
        out[0] = palette[index][2];
        out[1] = palette[index][1];
        out[2] = palette[index][0];
      }
    }
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  return 0;
}

int WriteMonoBmp(const std::filesystem::path& path, const TMonoBitmap& bitmap) {
  const TMonoBitmap& white1 = bitmap.WhiteIsOne() ? bitmap : bitmap.Inverted();
  const uint32_t stride = ((static_cast<uint32_t>(bitmap.Width()) + 31) / 32) * 4;
  const uint32_t dataSize = stride * static_cast<uint32_t>(bitmap.Height());
  uint8_t header[62] = {'B', 'M'};
  PutLe32(header + 2, 62 + dataSize);
  PutLe32(header + 10, 62);
  PutLe32(header + 14, 40);
  PutLe32(header + 18, static_cast<uint32_t>(bitmap.Width()));
  PutLe32(header + 22, static_cast<uint32_t>(bitmap.Height()));
  PutLe16(header + 26, 1);
  PutLe16(header + 28, 1);
  PutLe32(header + 34, dataSize);
  PutLe32(header + 46, 2);
  // Palette: index 0 black, index 1 white.
  std::memset(header + 58, 0xFF, 3);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return LastFileErrorCode();
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  std::vector<uint8_t> row(stride, 0xFF);
  for (int y = white1.Height() - 1; ok && y >= 0; --y) {
    std::memcpy(row.data(), white1.Row(y), static_cast<size_t>(white1.BytesPerRow()));
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  const int rc = ok ? 0 : LastFileErrorCode();
  if (std::fclose(f) != 0 && ok) return LastFileErrorCode();
  return rc;
}

}  // namespace ql
