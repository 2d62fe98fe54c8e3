#include "fax_document/sources/pcx_source.h"

#include <algorithm>
#include <cstring>

#include "fax_document/apf/byte_order.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr int kPcxHeaderSize = 128;
constexpr uint32_t kDcxMagic = 987654321;
constexpr size_t kDcxMaxPages = 1024;


}  // namespace

int PcxSource::OpenImage(ConverterCore& core, long dataBytes) {
  uint8_t header[kPcxHeaderSize];
  if (const int rc = file_.ReadExactly(header, sizeof header, ecBadGraphicsFormat); rc < 0) return rc;
  const unsigned xMin = Le16(header + 4), yMin = Le16(header + 6);
  const unsigned xMax = Le16(header + 8), yMax = Le16(header + 10);
  const unsigned planes = header[65];
  bytesPerLine_ = Le16(header + 66);
  // Monochrome, run-length coded, one plane, no wider than the page.
  if (header[0] != 10 || header[2] != 1 || header[3] != 1 || planes > 1 || xMax < xMin ||
      xMax - xMin > core.PageWidth || bytesPerLine_ == 0 || bytesPerLine_ > kConverterBufferSize)
    return ecBadGraphicsFormat;
  version_ = header[1];
  width_ = xMax - xMin + 1;
  rowDataBytes_ = (xMax - xMin + 8) / 8;
  height_ = yMax >= yMin ? yMax - yMin + 1 : 0;
  rowsDelivered_ = 0;
  dataLeft_ = dataBytes;
  core.DecideImageLayout(width_);
  return 0;
}

int PcxSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  if (const int rc = file_.Open(input); rc < 0) return rc;
  const int rc = OpenImage(core, file_.Size() - kPcxHeaderSize);
  if (rc < 0) {
    file_.Close();
    return rc;
  }
  core.BytesTotal = file_.Size() - kPcxHeaderSize;
  core.BytesRead = 0;
  return 0;
}

int PcxSource::ReadRow(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfImage) {
  endOfImage = dataLeft_ <= 0 || rowsDelivered_ >= height_;
  if (endOfImage) return 0;
  std::memset(buffer, 0, kConverterBufferSize);
  unsigned produced = 0;
  const long before = dataLeft_;
  while (produced < bytesPerLine_ && dataLeft_ > 0) {
    int b = file_.Byte();
    --dataLeft_;
    if (b < 0) return ecReadBeyondEnd;
    unsigned count = 1;
    if (b >= 192) {
      count = static_cast<unsigned>(b) & 63;
      if (dataLeft_ <= 0) break;
      b = file_.Byte();
      --dataLeft_;
      if (b < 0) return ecReadBeyondEnd;
      // Old files (version 3 and below) keep only runs that end inside the row.
      if (version_ <= 3 && produced + count > rowDataBytes_) {
        produced += count;
        continue;
      }
    }
    for (unsigned i = 0; i < count; ++i, ++produced)
      if (produced < kConverterBufferSize) buffer[produced] = static_cast<uint8_t>(~b);  // PCX: 1 = white
  }
  // Only the image's own pixels count: padding bytes and bits beyond the width are white.
  std::memset(buffer + rowDataBytes_, 0, kConverterBufferSize - rowDataBytes_);
  if (width_ % 8 != 0) buffer[rowDataBytes_ - 1] &= static_cast<uint8_t>(0xFF00 >> (width_ % 8));
  core.PlaceRow(buffer, rowDataBytes_);
  core.BytesRead += before - dataLeft_;
  ++rowsDelivered_;
  length = bytesPerLine_;
  return 0;
}

int PcxSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                        bool& morePages) {
  morePages = false;
  return ReadRow(core, buffer, length, endOfPage);
}

int DcxSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  if (const int rc = file_.Open(input); rc < 0) return rc;
  const auto fail = [this](int rc) {
    file_.Close();
    return rc;
  };
  uint8_t table[4 + 4 * kDcxMaxPages + 4];
  const int got = file_.Read(table, sizeof table);
  if (got < 0) return fail(got);
  if (got < 8 || Le32(table) != kDcxMagic) return fail(ecBadGraphicsFormat);
  pages_.clear();
  for (size_t i = 0; i < kDcxMaxPages && 4 + 4 * (i + 1) <= static_cast<size_t>(got); ++i) {
    const uint32_t offset = Le32(table + 4 + 4 * i);
    if (offset == 0) break;
    // An offset that leaves no room for a PCX header lies.
    if (static_cast<long>(offset) + kPcxHeaderSize > file_.Size()) return fail(ecBadGraphicsFormat);
    pages_.push_back({offset, 0});
  }
  if (pages_.empty()) return fail(ecBadGraphicsFormat);
  std::sort(pages_.begin(), pages_.end(), [](const Page& a, const Page& b) { return a.offset < b.offset; });
  core.BytesTotal = 0;
  for (size_t i = 0; i < pages_.size(); ++i) {
    const long next = i + 1 < pages_.size() ? static_cast<long>(pages_[i + 1].offset) : file_.Size();
    pages_[i].size = next - static_cast<long>(pages_[i].offset);
    core.BytesTotal += std::max<long>(pages_[i].size - kPcxHeaderSize, 0);
  }
  core.BytesRead = 0;
  if (const int rc = OpenPage(core, 0); rc < 0) return fail(rc);
  return 0;
}

int DcxSource::OpenPage(ConverterCore& core, size_t index) {
  page_ = index;
  if (const int rc = file_.Seek(pages_[index].offset); rc < 0) return rc;
  return OpenImage(core, pages_[index].size - kPcxHeaderSize);
}

int DcxSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                        bool& morePages) {
  if (const int rc = ReadRow(core, buffer, length, endOfPage); rc < 0) return rc;
  morePages = endOfPage && page_ + 1 < pages_.size();
  if (morePages) return OpenPage(core, page_ + 1);
  return 0;
}

}  // namespace ql
