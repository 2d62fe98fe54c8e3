#include "fax_document/convert/bitmap_source.h"

#include <algorithm>

#include "serial/errors/error_codes.h"

namespace ql {

int BitmapSource::Open(ConverterCore& core, const std::filesystem::path&) {
  if (bitmap_ == nullptr) return ecBadArgument;
  nextRow_ = 0;
  core.BytesTotal = static_cast<long>(bitmap_->BytesPerRow()) * bitmap_->Height();
  core.BytesRead = 0;
  core.DecideImageLayout(static_cast<unsigned>(bitmap_->Width()));
  return 0;
}

int BitmapSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                           bool& morePages) {
  morePages = false;
  if (nextRow_ >= bitmap_->Height()) {
    endOfPage = true;
    return 0;
  }
  endOfPage = false;
  const unsigned offset = std::min(core.CenterBytes, kConverterBufferSize);
  const unsigned rowBytes = std::min<unsigned>(static_cast<unsigned>(bitmap_->BytesPerRow()),
                                               kConverterBufferSize - offset);
  const uint8_t* row = bitmap_->Row(nextRow_++);
  const uint8_t flip = bitmap_->WhiteIsOne() ? 0xFF : 0x00;
  for (unsigned i = 0; i < rowBytes; ++i) buffer[offset + i] = row[i] ^ flip;
  // Pixels beyond the bitmap's width are white whatever the padding holds.
  const unsigned width = static_cast<unsigned>(bitmap_->Width());
  if (width % 8 != 0 && width / 8 < rowBytes)
    buffer[offset + width / 8] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
  length = core.PageWidth / 8;
  core.BytesRead += bitmap_->BytesPerRow();
  return 0;
}

}  // namespace ql
