#include "fax_document/unpacker_core.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fax_document/t4_code_tree.h"
#include "platform/message_pump.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr unsigned kReadBlock = 4096;
constexpr unsigned kPadding = 4;  // zero bytes after the page data, so peeks never run off

void SetBlackRun(uint8_t* line, unsigned from, unsigned count) {
  const unsigned end = from + count;
  while (from < end && (from & 7) != 0) {
    line[from >> 3] |= static_cast<uint8_t>(0x80 >> (from & 7));
    ++from;
  }
  if (from + 8 <= end) {
    const unsigned bytes = (end - from) / 8;
    std::memset(line + (from >> 3), 0xFF, bytes);
    from += bytes * 8;
  }
  while (from < end) {
    line[from >> 3] |= static_cast<uint8_t>(0x80 >> (from & 7));
    ++from;
  }
}

bool AllZero(const uint8_t* data, unsigned length) {
  for (unsigned i = 0; i < length; ++i)
    if (data[i] != 0) return false;
  return true;
}

// The next 13 bits at bit position `pos`, first bit in bit 0.
unsigned Peek13(const uint8_t* data, size_t pos) {
  const uint8_t* p = data + (pos >> 3);
  const uint32_t word = p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  return (word >> (pos & 7)) & ((1u << kT4PeekBits) - 1);
}

bool BitAt(const uint8_t* data, size_t pos) { return (data[pos >> 3] >> (pos & 7)) & 1; }

// The position of the first bit equal to `value` at or after `pos`, or `end`.
size_t FindBit(const uint8_t* data, size_t pos, size_t end, bool value) {
  while (pos < end && (pos & 7) != 0) {
    if (BitAt(data, pos) == value) return pos;
    ++pos;
  }
  const uint8_t skip = value ? 0x00 : 0xFF;
  while (pos + 8 <= end && data[pos >> 3] == skip) pos += 8;
  while (pos < end && BitAt(data, pos) != value) ++pos;
  return pos;
}

}  // namespace

UnpackerCore::UnpackerCore(UnpackOutput output) : output_(std::move(output)) {}

void UnpackerCore::SetFlags(uint16_t flags) {
  // Double height and half width exclude each other; the one set last wins.
  if (flags & ufDoubleHeight) UnpackFlags = static_cast<uint16_t>(UnpackFlags & ~ufHalfWidth);
  if (flags & ufHalfWidth) UnpackFlags = static_cast<uint16_t>(UnpackFlags & ~ufDoubleHeight);
  UnpackFlags = static_cast<uint16_t>(UnpackFlags | flags);
  if ((UnpackFlags & ufDoubleHeight) && (UnpackFlags & ufHalfWidth))
    UnpackFlags = static_cast<uint16_t>(UnpackFlags & ~ufHalfWidth);
}

int UnpackerCore::SetWhitespace(unsigned from, unsigned to) {
  if (from < to || (from == 0 && to != 0)) return ecBadArgument;
  WhiteFrom = from;
  WhiteTo = to;
  return 0;
}

void UnpackerCore::SetScale(unsigned horizMult, unsigned horizDiv, unsigned vertMult, unsigned vertDiv) {
  HorizMult = std::max(horizMult, 1u);
  HorizDiv = std::max(horizDiv, 1u);
  VertMult = std::max(vertMult, 1u);
  VertDiv = std::max(vertDiv, 1u);
}

int UnpackerCore::ReadFileHeader(const std::filesystem::path& file, ApfFileHeader& header) const {
  return ReadApfFileHeader(file, header);
}

int UnpackerCore::ReadPageHeader(const std::filesystem::path& file, unsigned page, ApfPageHeader& header) const {
  return ReadApfPageHeader(file, page, header);
}

void UnpackerCore::ReportStatus(const std::filesystem::path& file) {
  if (status_) status_(file, PageNumber, std::min(BytesUnpacked, BytesToUnpack), BytesToUnpack);
}

int UnpackerCore::ReadPageData(ApfReader& reader, const ApfPageHeader& header, std::vector<uint8_t>& data,
                               int& shortfall) {
  shortfall = 0;
  uint8_t block[kApfMaxRecord];
  long consumed = 0;
  try {
    // Stop at the page's DataLength also for line records, so a page without its
    // end-of-page record never runs into the next page header.
    while (consumed < static_cast<long>(header.DataLength)) {
      int got;
      if (header.LineRecords()) {
        got = reader.ReadLineRecord(block);
        if (got < 0) {
          shortfall = got;
          break;
        }
        consumed += got + 2;
      } else {
        const long left = static_cast<long>(header.DataLength) - consumed;
        got = reader.ReadBlock(block, static_cast<size_t>(std::min<long>(kReadBlock, left)));
        if (got < 0) return got;
        if (got == 0) {
          shortfall = ecFaxBadFormat;
          break;
        }
        consumed += got;
      }
      data.insert(data.end(), block, block + got);
    }
    data.insert(data.end(), kPadding, 0);
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  return 0;
}

int UnpackerCore::EmitLine(const uint8_t* line, unsigned length) {
  const uint8_t flip = Invert ? 0xFF : 0x00;
  for (unsigned i = 0; i < length; ++i) outBuffer_[i] = line[i] ^ flip;
  int rc = 0;
  const auto hand = [&](unsigned n) {
    ++LinesOutput;
    if (output_) rc = output_(false, false, outBuffer_, n, PageNumber);
    if (rc >= 0 && (UnpackFlags & ufYield) && LinesOutput % 16 == 0) ProcessPendingMessages();
    return rc;
  };
  if (!pageHeader_.HighRes() && (UnpackFlags & ufDoubleHeight)) {
    if (hand(length) < 0) return rc;
    return hand(length);
  }
  if (!pageHeader_.HighRes() && (UnpackFlags & ufHalfWidth)) {
    // Each pair of pixels becomes one pixel holding the OR of both.
    for (unsigned i = 0; i < length / 2; ++i) {
      unsigned out = 0;
      const unsigned pair = static_cast<unsigned>(outBuffer_[2 * i]) << 8 | outBuffer_[2 * i + 1];
      for (int bit = 0; bit < 8; ++bit)
        if (pair & (3u << (14 - 2 * bit))) out |= 0x80u >> bit;
      outBuffer_[i] = static_cast<uint8_t>(out);
    }
    return hand(length / 2);
  }
  return hand(length);
}

int UnpackerCore::FlushWhite(bool pageEnd) {
  unsigned lines = WhiteCount >= WhiteFrom ? WhiteTo : WhiteCount;
  if (pageEnd && WhiteFrom == WhiteTo) lines = 0;
  WhiteCount = 0;
  static const uint8_t blank[kUnpackLineBufferSize] = {};
  for (unsigned i = 0; i < lines; ++i)
    if (const int rc = EmitLine(blank, pageHeader_.Width() / 8); rc < 0) return rc;
  return 0;
}

int UnpackerCore::OutputLine(const uint8_t* line, unsigned length) {
  if (WhiteFrom != 0 && WhiteTo != 0) {
    if (AllZero(line, length)) {
      ++WhiteCount;
      return 0;
    }
    if (WhiteCount > 0)
      if (const int rc = FlushWhite(false); rc < 0) return rc;
  }
  return EmitLine(line, length);
}

int UnpackerCore::Decode(const std::vector<uint8_t>& data, bool& ended) {
  ended = false;
  const uint8_t* bytes = data.data();
  const size_t totalBits = (data.size() - kPadding) * 8;
  const T4Step* const tables[2] = {T4StepTable(false), T4StepTable(true)};
  size_t pos = 0;
  unsigned linePos = 0;  // bits decoded into the current line
  bool black = false;
  bool seenEol = false;
  unsigned eolsInRow = 0;
  std::memset(lineBuffer_, 0, sizeof lineBuffer_);
  const long dataBytes = static_cast<long>(data.size() - kPadding);
  while (pos < totalBits) {
    const T4Step& step = tables[black][Peek13(bytes, pos)];
    if (step.kind == T4NodeKind::Zeros) {
      // Eleven or more zeros and a one: an end of line.
      if (pos + step.bits > totalBits) break;
      const size_t one = FindBit(bytes, pos + step.bits, totalBits, true);
      if (one >= totalBits) break;
      pos = one + 1;
      if (linePos == 1728 || linePos == 2048) {
        if (const int rc = OutputLine(lineBuffer_, linePos / 8); rc < 0) return rc;
        BytesUnpacked = dataBytes == 0 ? BytesToUnpack
                                       : static_cast<long>(pos / 8) * BytesToUnpack / dataBytes;
        ReportStatus(file_);
        if (UnpackFlags & ufAbort) return 0;
      }
      std::memset(lineBuffer_, 0, std::min<size_t>((linePos + 7) / 8, sizeof lineBuffer_));
      linePos = 0;
      black = false;
      seenEol = true;
      if (++eolsInRow >= 3) {
        ended = true;
        return 0;
      }
      continue;
    }
    if (pos + step.bits > totalBits) break;
    pos += step.bits;
    if (step.kind == T4NodeKind::Dead) {
      ++BadCodes;
      pos = FindBit(bytes, pos, totalBits, false);  // skip ones up to the next zero
      continue;
    }
    if (!seenEol) continue;
    if (linePos / 8 + step.run / 8u < kUnpackLineBufferSize) {
      if (black) SetBlackRun(lineBuffer_, linePos, step.run);
      linePos += step.run;
    }
    if (step.kind == T4NodeKind::Terminating) black = !black;
    eolsInRow = 0;
  }
  return 0;
}

int UnpackerCore::UnpackPage(const std::filesystem::path& file, unsigned page) {
  ApfReader reader;
  if (const int rc = reader.Open(file); rc < 0) return rc;
  if (const int rc = reader.LocatePage(page, pageHeader_); rc < 0) return rc;
  file_ = file;
  PageNumber = page;
  BytesToUnpack = pageHeader_.DataLength;
  BytesUnpacked = 0;
  LinesOutput = 0;
  BadCodes = 0;
  WhiteCount = 0;
  std::vector<uint8_t> data;
  int shortfall = 0;
  int rc = ReadPageData(reader, pageHeader_, data, shortfall);
  reader.Close();
  if (rc >= 0 && output_) rc = output_(true, false, nullptr, 0, page);
  bool ended = false;
  if (rc >= 0) rc = Decode(data, ended);
  const bool aborted = (UnpackFlags & ufAbort) != 0;
  if (rc >= 0 && !ended && !aborted && shortfall < 0) rc = shortfall;
  if (rc >= 0 && !aborted) rc = FlushWhite(true);
  BytesUnpacked = rc >= 0 && !aborted ? BytesToUnpack : BytesUnpacked;
  ReportStatus(file);
  if (rc >= 0 && output_) rc = output_(false, true, nullptr, 0, page);
  return rc;
}

int UnpackerCore::UnpackPageToBitmap(const std::filesystem::path& file, unsigned page, bool invert,
                                     TMonoBitmap& bitmap) {
  bitmap = TMonoBitmap();
  const uint8_t white = invert ? 0xFF : 0x00;
  std::vector<uint8_t> rows;
  unsigned rowSize = 216;
  unsigned rowCount = 0;
  unsigned widest = 1;
  const auto build = [&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) -> int {
    if (starting) {
      rowSize = pageHeader_.Wide() ? 256 : 216;
      return 0;
    }
    if (ending) return 0;
    try {
      if (rowCount % 1024 == 0) rows.reserve((rowCount + 1024) * static_cast<size_t>(rowSize));
      rows.resize((rowCount + 1) * static_cast<size_t>(rowSize), white);
    } catch (const std::bad_alloc&) {
      return ecOutOfMemory;
    }
    uint8_t* row = rows.data() + static_cast<size_t>(rowCount) * rowSize;
    const unsigned n = std::min(length, rowSize);
    std::memcpy(row, data, n);
    unsigned used = n;
    while (used > 0 && row[used - 1] == white) --used;
    widest = std::max(widest, used);
    ++rowCount;
    return 0;
  };
  UnpackOutput saved = std::move(output_);
  output_ = build;
  const bool savedInvert = Invert;
  Invert = invert;
  const int rc = UnpackPage(file, page);
  output_ = std::move(saved);
  Invert = savedInvert;
  if (rc < 0) return rc;
  if (rowCount == 0) return 0;
  const unsigned bytes = (widest + 1) & ~1u;
  try {
    TMonoBitmap result(static_cast<int>(bytes * 8), static_cast<int>(rowCount), invert);
    for (unsigned y = 0; y < rowCount; ++y)
      std::memcpy(result.Row(static_cast<int>(y)), rows.data() + static_cast<size_t>(y) * rowSize, bytes);
    rows = std::vector<uint8_t>();
    if (HorizMult != HorizDiv || VertMult != VertDiv) {
      const long width = static_cast<long>(HorizMult) * result.Width() / HorizDiv;
      const long height = static_cast<long>(result.Height()) * VertMult / VertDiv;
      if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return ecCantMakeBitmap;
      result = result.Stretched(static_cast<int>(width), static_cast<int>(height));
    }
    bitmap = std::move(result);
  } catch (const std::bad_alloc&) {
    return ecCantMakeBitmap;
  }
  return 0;
}

}  // namespace ql
