#include "fax_document/unpack/unpacker_core.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "fax_document/apf/byte_order.h"
#include "fax_document/t4/t4_code_tree.h"
#include "fax_document/convert/message_yield.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr unsigned kPadding = 8;  // zero bytes after the page data, so loads never run off
// Progress is reported and the abort flag checked at every end of line and, like letting
// messages through, after every 1 KiB of page data, so that a page of noise without a
// single good line still stays responsive and can be stopped.
constexpr size_t kCheckpointBits = 1024 * 8;

// Builds the decoded line 64 pixels at a time in a register; each finished word is
// stored once, so runs of a pixel or two cost no memory traffic. The line buffer must
// be clear and have room for the word after its last byte.
class LineWriter {
 public:
  explicit LineWriter(uint8_t* line) : line_(line) {}
  unsigned Position() const { return pos_; }
  void White(unsigned run) { pos_ += run; }
  void Black(unsigned run) {
    const unsigned offset = pos_ - base_;
    if (offset + run < 64 && run > 0) {  // the common case: inside the word held
      word_ |= ((1ull << run) - 1) << (64 - offset - run);
      pos_ += run;
      return;
    }
    const unsigned end = pos_ + run;
    while (pos_ < end) {
      if (pos_ >= base_ + 64) MoveWord();
      const unsigned at = pos_ - base_;
      const unsigned n = std::min(end - pos_, 64 - at);
      word_ |= n == 64 ? ~0ull : ((1ull << n) - 1) << (64 - at - n);
      pos_ += n;
    }
  }
  // Stores what is held; the line is then complete in the buffer.
  void Store() {
    if (word_ == 0) return;
    uint64_t bytes = word_;
    if constexpr (std::endian::native == std::endian::little) bytes = __builtin_bswap64(bytes);
    std::memcpy(line_ + base_ / 8, &bytes, 8);
  }
  // Starts a new line (the caller clears the buffer).
  void Reset() {
    pos_ = base_ = 0;
    word_ = 0;
  }

 private:
  void MoveWord() {
    Store();
    base_ = pos_ & ~63u;
    word_ = 0;
  }
  uint8_t* line_;
  unsigned pos_ = 0;
  unsigned base_ = 0;
  uint64_t word_ = 0;
};

// Reads the page bits first bit first, holding up to 64 of them in a register so that
// looking at the next code costs no memory access. The data must be followed by
// kPadding zero bytes.
class BitReader {
 public:
  explicit BitReader(const uint8_t* data) : data_(data) { Seek(0); }
  size_t Position() const { return pos_; }
  void Seek(size_t pos) {
    pos_ = pos;
    next_ = (pos >> 3) + 8;
    acc_ = Load64(data_ + (pos >> 3)) >> (pos & 7);
    avail_ = 64 - static_cast<unsigned>(pos & 7);
  }
  unsigned Peek() {
    if (avail_ < 32) {
      acc_ |= static_cast<uint64_t>(Load32(data_ + next_)) << avail_;
      next_ += 4;
      avail_ += 32;
    }
    return static_cast<unsigned>(acc_) & ((1u << kT4PeekBits) - 1);
  }
  void Skip(unsigned bits) {
    acc_ >>= bits;
    avail_ -= bits;
    pos_ += bits;
  }

 private:
  static uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
  }
  static uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
  }
  const uint8_t* data_;
  size_t pos_ = 0;
  size_t next_ = 0;
  uint64_t acc_ = 0;
  unsigned avail_ = 0;
};

// The position of the first bit equal to `value` at or after `pos`, or `end`. Reads 64
// bits at a time (the data is followed by kPadding zero bytes).
size_t FindBit(const uint8_t* data, size_t pos, size_t end, bool value) {
  while (pos < end) {
    uint64_t word;
    std::memcpy(&word, data + (pos >> 3), 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    if (!value) word = ~word;
    word >>= pos & 7;
    if (word != 0) return std::min(end, pos + static_cast<size_t>(__builtin_ctzll(word)));
    pos += 64 - (pos & 7);
  }
  return end;
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

int UnpackerCore::Checkpoint(size_t bytesDecoded, long dataBytes, bool yield) {
  BytesUnpacked = dataBytes == 0 ? BytesToUnpack : static_cast<long>(bytesDecoded) * BytesToUnpack / dataBytes;
  ReportStatus(file_);
  if (yield && (UnpackFlags & ufYield))
    if (const int rc = LetMessagesThrough(); rc < 0) return rc;
  return (UnpackFlags & ufAbort) ? 1 : 0;
}

int UnpackerCore::ReadPageData(ApfReader& reader, const ApfPageHeader& header, std::vector<uint8_t>& data,
                               int& shortfall) {
  shortfall = 0;
  try {
    // The page's bytes in one piece: DataLength, plus room for a last record that runs
    // past it, but never more than the file holds.
    std::vector<uint8_t> raw;
    const size_t wanted = static_cast<size_t>(header.DataLength) + (header.LineRecords() ? kApfMaxRecord + 2 : 0);
    while (raw.size() < wanted) {
      // Grow as the data turns up, so a DataLength that lies costs no large allocation.
      const size_t chunk = std::min(wanted - raw.size(), std::max<size_t>(raw.size(), 64 * 1024));
      const size_t old = raw.size();
      raw.resize(old + chunk);
      const int got = reader.ReadBlock(raw.data() + old, chunk);
      if (got < 0) return got;
      raw.resize(old + static_cast<size_t>(got));
      if (static_cast<size_t>(got) < chunk) break;
    }
    if (header.LineRecords()) {
      // Stop at the page's DataLength also for line records, so a page without its
      // end-of-page record never runs into the next page header.
      data.reserve(raw.size() + kPadding);
      size_t at = 0;
      while (at < header.DataLength) {
        if (at + 2 > raw.size()) {
          shortfall = ecReadBeyondEnd;
          break;
        }
        const size_t count = std::min<size_t>(raw[at] | raw[at + 1] << 8, kApfMaxRecord);
        if (at + 2 + count > raw.size()) {
          shortfall = ecReadBeyondEnd;
          break;
        }
        data.insert(data.end(), raw.begin() + static_cast<long>(at) + 2, raw.begin() + static_cast<long>(at + 2 + count));
        at += 2 + count;
      }
    } else {
      if (raw.size() < header.DataLength) shortfall = ecFaxBadFormat;
      data = std::move(raw);
    }
    data.insert(data.end(), kPadding, 0);
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  return 0;
}

int UnpackerCore::EmitLine(const uint8_t* line, unsigned length) {
  const bool halve = !pageHeader_.HighRes() && (UnpackFlags & ufHalfWidth);
  const uint8_t* out = line;
  if (Invert || halve) {
    const uint8_t flip = Invert ? 0xFF : 0x00;
    for (unsigned i = 0; i < length; ++i) outBuffer_[i] = line[i] ^ flip;
    out = outBuffer_;
  }
  int rc = 0;
  const auto hand = [&](unsigned n) {
    ++LinesOutput;
    if (output_) rc = output_(false, false, out, n, PageNumber);
    if (rc >= 0 && (UnpackFlags & ufYield) && LinesOutput % 16 == 0) rc = LetMessagesThrough();
    return rc;
  };
  if (!pageHeader_.HighRes() && (UnpackFlags & ufDoubleHeight)) {
    if (hand(length) < 0) return rc;
    return hand(length);
  }
  if (halve) {
    // Each pair of pixels becomes one pixel holding the OR of both.
    for (unsigned i = 0; i < length / 2; ++i) {
      unsigned merged = 0;
      const unsigned pair = static_cast<unsigned>(outBuffer_[2 * i]) << 8 | outBuffer_[2 * i + 1];
      for (int bit = 0; bit < 8; ++bit)
        if (pair & (3u << (14 - 2 * bit))) merged |= 0x80u >> bit;
      outBuffer_[i] = static_cast<uint8_t>(merged);
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
    if (AllZeroBytes(line, length)) {
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
  const T4Step* const shortTable = T4ShortStepTable();
  const T4Step* const longTable = T4StepTable();
  constexpr unsigned kShortMask = (1u << kT4ShortPeekBits) - 1;
  const long dataBytes = static_cast<long>(data.size() - kPadding);
  BitReader in(bytes);
  LineWriter line(lineBuffer_);
  bool black = false;
  unsigned colour = 0;  // 0 for white, 1 << kT4ShortPeekBits for black: the table half
  bool seenEol = false;
  unsigned eolsInRow = 0;
  std::memset(lineBuffer_, 0, sizeof lineBuffer_);
  // Checkpoints are passed at ends of line and on the paths that noise takes (runs before
  // the first EOL or past the line buffer, bad codes), never on the path of good runs.
  size_t checkpoint = kCheckpointBits;
  const auto passCheckpoint = [&](size_t bit, bool due) {
    if (due) checkpoint = bit - bit % kCheckpointBits + kCheckpointBits;
    return Checkpoint(bit / 8, dataBytes, due);
  };
  while (in.Position() < totalBits) {
    const unsigned peek = in.Peek();
    T4Step step = shortTable[colour | (peek & kShortMask)];
    if (step.kind == T4NodeKind::Inner) step = longTable[(colour << (kT4PeekBits - kT4ShortPeekBits)) | peek];
    const size_t pos = in.Position();
    if (pos + step.bits > totalBits) break;  // the input ends inside a code
    if (step.kind <= T4NodeKind::Makeup) {
      in.Skip(step.bits);
      // Runs count only after the first EOL, and only while the line buffer holds them.
      if (!seenEol || line.Position() / 8 + step.run / 8u >= kUnpackLineBufferSize) {
        if (in.Position() >= checkpoint)
          if (const int rc = passCheckpoint(in.Position(), true); rc != 0) return std::min(rc, 0);
        if (!seenEol) continue;
      } else if (black) {
        line.Black(step.run);
      } else {
        line.White(step.run);
      }
      if (step.kind == T4NodeKind::Terminating) {
        black = !black;
        colour ^= 1u << kT4ShortPeekBits;
      }
      eolsInRow = 0;
      continue;
    }
    if (step.kind == T4NodeKind::Dead) {
      ++BadCodes;
      in.Seek(FindBit(bytes, pos + step.bits, totalBits, false));  // skip ones up to the next zero
      if (in.Position() >= checkpoint)
        if (const int rc = passCheckpoint(in.Position(), true); rc != 0) return std::min(rc, 0);
      continue;
    }
    // Eleven zeros: any further zeros and a one make an end of line.
    const size_t one = FindBit(bytes, pos + step.bits, totalBits, true);
    if (one >= totalBits) break;
    in.Seek(one + 1);
    const unsigned linePos = line.Position();
    line.Store();
    if (linePos == 1728 || linePos == 2048)
      if (const int rc = OutputLine(lineBuffer_, linePos / 8); rc < 0) return rc;
    if (status_ || (UnpackFlags & ufAbort) || one >= checkpoint)
      if (const int rc = passCheckpoint(one, one >= checkpoint); rc != 0) return std::min(rc, 0);
    std::memset(lineBuffer_, 0, std::min<size_t>((linePos + 63) / 64 * 8, sizeof lineBuffer_));
    line.Reset();
    black = false;
    colour = 0;
    seenEol = true;
    if (++eolsInRow >= 3) {
      ended = true;
      return 0;
    }
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
