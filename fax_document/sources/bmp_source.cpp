#include "fax_document/sources/bmp_source.h"

#include <stdlib.h>
#include <unistd.h>

#include "fax_document/convert/dither.h"
#include "fax_document/sources/bmp_file.h"
#include "platform/message_pump.h"
#include "serial/errors/error_codes.h"

namespace ql {
std::filesystem::path BmpSource::DitherIfColour(const std::filesystem::path& input) {
  {
    // Monochrome files and files that are no BMP at all are read as they are (the reader
    // reports the latter).
    BufferedFile probe;
    BmpInfo info;
    if (probe.Open(input) < 0 || ReadBmpInfo(probe, info) < 0 || info.bitsPerPixel == 1) return input;
  }
  ProcessPendingMessages();
  RgbImage image;
  if (ReadBmpAsRgb(input, image) < 0) return input;  // not readable: the reader reports it
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "~DITXXXXXX").string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return input;
  ::close(fd);
  if (WriteMonoBmp(pattern, DitherImage(image)) < 0) {
    std::filesystem::remove(pattern, ec);
    return input;
  }
  ProcessPendingMessages();
  dithered_ = pattern;
  return dithered_;
}

int BmpSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  dithered_.clear();
  const std::filesystem::path source = DitherIfColour(input);
  if (const int rc = file_.Open(source); rc < 0) return rc;
  const int rc = OpenMonochrome(core);
  if (rc < 0) file_.Close();
  return rc;
}

int BmpSource::OpenMonochrome(ConverterCore& core) {
  BmpInfo bmp;
  if (const int rc = ReadBmpInfo(file_, bmp); rc < 0) return rc;
  if (bmp.bitsPerPixel != 1 || static_cast<unsigned>(bmp.width) > core.PageWidth) return ecBadGraphicsFormat;
  const uint32_t dataOffset = bmp.dataOffset;
  const uint32_t infoSize = bmp.infoSize;
  const int32_t width = bmp.width;
  const int32_t height = bmp.height;
  width_ = static_cast<unsigned>(width);
  height_ = static_cast<unsigned>(height < 0 ? -static_cast<long>(height) : height);
  rowBytes_ = (width_ + 7) / 8;
  storedRow_ = (rowBytes_ + 3) / 4 * 4;
  // Pixel data starts where the header says, so trailing bytes after it do no harm.
  const long dataSize = static_cast<long>(storedRow_) * height_;
  if (static_cast<long>(dataOffset) < 54 || dataOffset + dataSize > file_.Size()) return ecBadGraphicsFormat;
  bottomUp_ = height > 0;
  firstRow_ = bottomUp_ ? static_cast<long>(dataOffset) + dataSize - storedRow_ : static_cast<long>(dataOffset);
  // Which bit value is white comes from the palette (index 1 brighter than index 0 is the
  // usual case); without a readable palette, 1 is white.
  oneIsWhite_ = true;
  uint8_t palette[8];
  if (file_.Seek(14 + static_cast<long>(infoSize)) >= 0 &&
      14 + static_cast<long>(infoSize) + 8 <= static_cast<long>(dataOffset) &&
      file_.ReadExactly(palette, sizeof palette, ecBadGraphicsFormat) >= 0) {
    const unsigned zero = palette[0] + palette[1] + palette[2];
    const unsigned one = palette[4] + palette[5] + palette[6];
    oneIsWhite_ = one >= zero;
  }
  rowsDelivered_ = 0;
  core.DecideImageLayout(width_);
  core.BytesTotal = static_cast<long>(rowBytes_) * height_;
  core.BytesRead = 0;
  return 0;
}

int BmpSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                        bool& morePages) {
  morePages = false;
  endOfPage = rowsDelivered_ >= height_;
  if (endOfPage) return 0;
  const long offset = firstRow_ + (bottomUp_ ? -1L : 1L) * static_cast<long>(rowsDelivered_) * storedRow_;
  if (const int rc = file_.Seek(offset); rc < 0) return rc;
  if (const int rc = file_.ReadExactly(buffer, rowBytes_, ecReadBeyondEnd); rc < 0) return rc;
  // Pixels beyond the width become white, then the row takes the fax sense (1 = black).
  const uint8_t pad = static_cast<uint8_t>(width_ % 8 == 0 ? 0 : 0xFF >> (width_ % 8));
  if (oneIsWhite_) {
    buffer[rowBytes_ - 1] |= pad;
    for (unsigned i = 0; i < rowBytes_; ++i) buffer[i] = static_cast<uint8_t>(~buffer[i]);
  } else {
    buffer[rowBytes_ - 1] &= static_cast<uint8_t>(~pad);
  }
  core.PlaceRow(buffer, rowBytes_);
  length = rowBytes_;
  core.BytesRead += rowBytes_;
  ++rowsDelivered_;
  return 0;
}

}  // namespace ql
