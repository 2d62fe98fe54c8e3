#include "fax_document/sources/tiff_source.h"

#include <algorithm>
#include <cstring>

#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint32_t kPackBits = 32773;

}  // namespace

uint16_t TiffSource::To16(const uint8_t* p) const {
  return motorola_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t TiffSource::To32(const uint8_t* p) const {
  return motorola_ ? static_cast<uint32_t>(To16(p)) << 16 | To16(p + 2)
                   : static_cast<uint32_t>(To16(p + 2)) << 16 | To16(p);
}

int TiffSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  if (const int rc = file_.Open(input); rc < 0) return rc;
  int rc = ReadDirectory();
  if (rc >= 0) {
    core.DecideImageLayout(width_);
    core.BytesTotal = static_cast<long>(rowBytes_) * height_;
    core.BytesRead = 0;
    rowsDelivered_ = 0;
    rc = StartStrip(0);
  }
  if (rc < 0) file_.Close();
  return rc;
}

// Reads `count` SHORT or LONG values that stand in the entry itself (when they fit in
// its four bytes) or at the offset it holds.
int TiffSource::ReadValues(uint16_t type, uint32_t count, uint32_t value, std::vector<uint32_t>& values) {
  const uint32_t size = type == kTypeShort ? 2 : 4;
  if (count == 0 || count > static_cast<uint32_t>(file_.Size() / size + 1)) return ecBadGraphicsFormat;
  values.resize(count);
  if (count * size <= 4) {
    uint8_t raw[4];
    if (motorola_) {
      for (int i = 0; i < 4; ++i) raw[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    } else {
      for (int i = 0; i < 4; ++i) raw[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    for (uint32_t i = 0; i < count; ++i) values[i] = size == 2 ? To16(raw + 2 * i) : To32(raw);
    return 0;
  }
  if (const int rc = file_.Seek(value); rc < 0) return rc;
  std::vector<uint8_t> raw(static_cast<size_t>(count) * size);
  if (const int rc = file_.ReadExactly(raw.data(), raw.size(), ecBadGraphicsFormat); rc < 0) return rc;
  for (uint32_t i = 0; i < count; ++i) values[i] = size == 2 ? To16(&raw[2 * i]) : To32(&raw[4 * i]);
  return 0;
}

int TiffSource::ReadDirectory() {
  uint8_t head[8];
  if (const int rc = file_.ReadExactly(head, sizeof head, ecBadGraphicsFormat); rc < 0) return rc;
  if (head[0] == 'I' && head[1] == 'I') motorola_ = false;
  else if (head[0] == 'M' && head[1] == 'M') motorola_ = true;
  else return ecBadGraphicsFormat;
  const uint32_t directory = To32(head + 4);
  if (directory > 0)
    if (const int rc = file_.Seek(directory); rc < 0) return rc;
  uint8_t countBytes[2];
  if (const int rc = file_.ReadExactly(countBytes, 2, ecBadGraphicsFormat); rc < 0) return rc;
  const uint16_t entries = To16(countBytes);

  struct Entry {
    uint16_t type;
    uint32_t count, value;
  };
  Entry offsets{0, 0, 0}, counts{0, 0, 0};
  bool haveWidth = false, haveLength = false;
  uint32_t bitsPerSample = 1;
  rowsPerStrip_ = 0xFFFFFFFF;
  for (uint16_t i = 0; i < entries; ++i) {
    uint8_t raw[12];
    if (const int rc = file_.ReadExactly(raw, sizeof raw, ecBadGraphicsFormat); rc < 0) return rc;
    const uint16_t tag = To16(raw);
    const uint16_t type = To16(raw + 2);
    const uint32_t count = To32(raw + 4);
    // A SHORT value stands in the first two bytes of the value field.
    const uint32_t value = type == kTypeShort ? To16(raw + 8) : To32(raw + 8);
    switch (tag) {
      case 256: width_ = value; haveWidth = true; break;
      case 257: height_ = value; haveLength = true; break;
      case 258: bitsPerSample = value; break;
      case 259: compression_ = value; break;
      case 262: photometric_ = value; break;
      case 273: offsets = {type, count, To32(raw + 8)}; break;
      case 278: rowsPerStrip_ = value; break;
      case 279: counts = {type, count, To32(raw + 8)}; break;
      default: break;
    }
  }
  if (!haveWidth || !haveLength || offsets.count == 0) return ecBadGraphicsFormat;
  if (bitsPerSample != 1 || (compression_ != 1 && compression_ != kPackBits)) return ecBadGraphicsFormat;
  if (width_ == 0 || width_ > kConverterBufferSize * 8) return ecBadGraphicsFormat;
  if (offsets.type != kTypeShort && offsets.type != kTypeLong) return ecBadGraphicsFormat;
  rowBytes_ = (width_ + 7) / 8;
  lastMask_ = static_cast<uint8_t>(width_ % 8 == 0 ? 0xFF : 0xFF00 >> (width_ % 8));
  if (rowsPerStrip_ == 0) rowsPerStrip_ = height_;

  std::vector<uint32_t> stripOffsets, stripCounts;
  if (const int rc = ReadValues(offsets.type, offsets.count, offsets.value, stripOffsets); rc < 0) return rc;
  if (counts.count == offsets.count && (counts.type == kTypeShort || counts.type == kTypeLong)) {
    if (const int rc = ReadValues(counts.type, counts.count, counts.value, stripCounts); rc < 0) return rc;
  }
  strips_.clear();
  for (size_t i = 0; i < stripOffsets.size(); ++i)
    strips_.push_back({stripOffsets[i], i < stripCounts.size() ? stripCounts[i] : 0});
  return 0;
}

int TiffSource::StartStrip(size_t index) {
  strip_ = index;
  rowInStrip_ = 0;
  const uint32_t rowsLeft = height_ - rowsDelivered_;
  rowsInStrip_ = strips_.size() == 1 ? rowsLeft : std::min(rowsPerStrip_, rowsLeft);
  return file_.Seek(strips_[index].offset);
}

int TiffSource::ReadRow(uint8_t* buffer) {
  if (compression_ != kPackBits) {
    const int got = file_.Read(buffer, rowBytes_);
    if (got < 0) return got;
    return got == 0 ? ecDeviceReadError : 0;
  }
  uint32_t collected = 0;
  while (collected < rowBytes_) {
    const int control = file_.Byte();
    if (control < 0) return ecDeviceReadError;
    if (control < 128) {
      for (int i = 0; i <= control; ++i) {
        const int b = file_.Byte();
        if (b < 0) return ecDeviceReadError;
        if (collected < kConverterBufferSize) buffer[collected] = static_cast<uint8_t>(b);
        ++collected;
      }
    } else if (control > 128) {
      const int b = file_.Byte();
      if (b < 0) return ecDeviceReadError;
      for (int i = 0; i < 257 - control; ++i, ++collected)
        if (collected < kConverterBufferSize) buffer[collected] = static_cast<uint8_t>(b);
    }
  }
  return 0;
}

int TiffSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                         bool& morePages) {
  morePages = false;
  if (rowInStrip_ >= rowsInStrip_) {
    // Past the rows of this strip: on to the next one, or the page is done.
    if (rowsDelivered_ >= height_ || strip_ + 1 >= strips_.size()) {
      endOfPage = true;
      return 0;
    }
    if (const int rc = StartStrip(strip_ + 1); rc < 0) return rc;
    if (rowsInStrip_ == 0) {
      endOfPage = true;
      return 0;
    }
  }
  endOfPage = false;
  if (const int rc = ReadRow(buffer); rc < 0) return rc;
  // Rows longer than the buffer (PackBits runs past the row) leave only the row.
  std::memset(buffer + rowBytes_, 0, kConverterBufferSize - rowBytes_);
  if (photometric_ != 0)
    for (uint32_t i = 0; i < rowBytes_; ++i) buffer[i] = static_cast<uint8_t>(~buffer[i]);
  buffer[rowBytes_ - 1] &= lastMask_;
  core.PlaceRow(buffer, rowBytes_);
  length = rowBytes_;
  core.BytesRead += rowBytes_;
  ++rowInStrip_;
  ++rowsDelivered_;
  return 0;
}

}  // namespace ql
