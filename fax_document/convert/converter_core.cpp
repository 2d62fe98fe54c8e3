#include "fax_document/convert/converter_core.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <system_error>

#include "fax_document/apf/apf_file.h"
#include "fax_document/apf/byte_order.h"
#include "fax_document/t4/t4_bit_writer.h"
#include "fax_document/convert/message_yield.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// The 16-bit group of four fill bits and the end-of-line code: 15 zeros, then a one.
constexpr uint32_t kFillAndEol = 0x8000;

// Eight bytes as one number, the first byte the most significant.
uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

// The 64 pixels from byte `byte` on, the first in the most significant bit; bytes past
// the raster read as white.
uint64_t PixelWord(const uint8_t* raster, unsigned bytes, unsigned byte) {
  if (byte + 8 <= bytes) return LoadBigEndian64(raster + byte);
  uint64_t word = 0;
  for (unsigned i = 0; i < 8; ++i) word = word << 8 | (byte + i < bytes ? raster[byte + i] : 0);
  return word;
}

// Collects the pixel positions below `limit` where the colour changes, in order, then
// `limit` itself. The pixel before the first one counts as white, so a
// line that starts black changes at 0. The raster is read 64 pixels at a time and all
// changes of a word are marked at once (pixels that differ from their left neighbour),
// so the cost goes with the number of runs, not their length. `ends` holds limit + 1.
void FindColourChanges(const uint8_t* raster, unsigned bytes, unsigned limit, uint16_t* ends) {
  unsigned count = 0;
  uint64_t lastPixel = 0;
  for (unsigned base = 0; base < limit; base += 64) {
    const uint64_t word = PixelWord(raster, bytes, base / 8);
    uint64_t changes = word ^ (word >> 1 | lastPixel << 63);
    lastPixel = word & 1;
    if (limit - base < 64) changes &= ~0ull << (64 - (limit - base));  // none at limit or past it
    while (changes != 0) {
      const unsigned offset = static_cast<unsigned>(__builtin_clzll(changes));
      ends[count++] = static_cast<uint16_t>(base + offset);
      changes &= ~(1ull << 63 >> offset);
    }
  }
  ends[count] = static_cast<uint16_t>(limit);
}

}  // namespace

ConverterCore::ConverterCore(std::unique_ptr<LineSource> source) : source_(std::move(source)) {}

ConverterCore::~ConverterCore() = default;

void ConverterCore::DecideImageLayout(unsigned width) {
  const unsigned usable = PageWidth > LeftMargin ? PageWidth - LeftMargin : 0;
  WidthDoubled = (Options & coDoubleWidth) && !HighRes && usable >= 2 * width;
  HeightHalved = (Options & coHalfHeight) && !HighRes && !WidthDoubled;
  CenterBytes = 0;
  if ((Options & coCenterImage) && PageWidth > width && PageWidth - width > 15)
    CenterBytes = WidthDoubled ? (PageWidth - 2 * width) / 32 : (PageWidth - width) / 16;
}

void ConverterCore::PlaceRow(uint8_t* buffer, unsigned rowBytes) const {
  if (CenterBytes == 0 || rowBytes + CenterBytes > kConverterBufferSize) return;
  std::memmove(buffer + CenterBytes, buffer, rowBytes);
  std::memset(buffer, 0, CenterBytes);
}

bool ConverterCore::LastCodedLine::Matches(const uint8_t* line, unsigned width, unsigned margin,
                                           bool doubled) const {
  return valid && pageWidth == width && leftMargin == margin && widthDoubled == doubled &&
         std::memcmp(raster, line, width / 8) == 0;
}

unsigned ConverterCore::CodeRasterLine(const uint8_t* raster) {
  std::memset(CodeBuffer, 0, std::min<unsigned>(CodeByte + 1, kConverterBufferSize));
  const unsigned margin = std::min(LeftMargin, PageWidth);
  if (last_.Matches(raster, PageWidth, margin, WidthDoubled)) {
    std::memcpy(CodeBuffer, last_.code, last_.codeByte);
    CodeByte = last_.codeByte;
    CodeBit = last_.codeBit;
    return CodeByte;
  }
  T4BitWriter out(CodeBuffer);
  out.Put(kFillAndEol, 16);
  const unsigned bytes = PageWidth / 8;
  if (AllZeroBytes(raster, bytes)) {
    out.PutRun(false, PageWidth);
  } else {
    // Walk the raster pixels that fit beside the margin; with doubling each pixel counts
    // twice. The last run is cut or stretched so that the line is exactly PageWidth long.
    const unsigned scale = WidthDoubled ? 2 : 1;
    const unsigned walk = (PageWidth - margin + scale - 1) / scale;
    if (runEnds_.size() < walk + 1) runEnds_.resize(walk + 1);
    FindColourChanges(raster, bytes, walk, runEnds_.data());
    unsigned total = 0;
    unsigned pos = 0;
    unsigned lead = margin;  // the first run, always white, starts with the margin
    bool black = false;
    for (const uint16_t* next = runEnds_.data();; ++next) {
      const unsigned end = *next;
      unsigned run = (end - pos) * scale + lead;
      lead = 0;
      const bool last = end >= walk || total + run >= PageWidth;
      if (last) run = PageWidth - total;
      out.PutRun(black, run);
      total += run;
      if (last) break;
      pos = end;
      black = !black;
    }
  }
  CodeByte = out.Finish(CodeBit);
  CodeByte += 2;
  last_.valid = bytes <= sizeof last_.raster && CodeByte <= sizeof last_.code;
  if (last_.valid) {
    last_.pageWidth = PageWidth;
    last_.leftMargin = margin;
    last_.widthDoubled = WidthDoubled;
    last_.codeByte = CodeByte;
    last_.codeBit = CodeBit;
    std::memcpy(last_.raster, raster, bytes);
    std::memcpy(last_.code, CodeBuffer, CodeByte);
  }
  return CodeByte;
}

unsigned ConverterCore::TopMarginRecord(uint8_t* dest) const {
  uint8_t buffer[16] = {};
  T4BitWriter out(buffer);
  out.Put(kEolCode);
  out.PutRun(false, PageWidth);
  unsigned bit = 0;
  const unsigned length = out.Finish(bit) + 1;
  std::memcpy(dest, buffer, length);
  return length;
}

unsigned ConverterCore::EndOfPageBlock(uint8_t* dest) {
  std::memcpy(dest, kEndOfPageRecord, sizeof kEndOfPageRecord);
  return sizeof kEndOfPageRecord;
}

std::filesystem::path ConverterCore::ResolveInputName(const std::filesystem::path& input,
                                                      const std::string& extension) {
  if (input.has_extension() || extension.empty()) return input;
  std::filesystem::path named = input;
  named += "." + extension;
  return named;
}

std::filesystem::path ConverterCore::ResolveOutputName(const std::filesystem::path& input,
                                                       const std::filesystem::path& output) {
  std::filesystem::path named = output.empty() ? input : output;
  if (output.empty() || !named.has_extension()) named.replace_extension(".APF");
  return named;
}

bool ConverterCore::ReportStatus(int kind) {
  if (StatusWindow != 0) {
    intptr_t answer = 0;
    return SendMessageTimeout(StatusWindow, kConverterStatusMessage, static_cast<uintptr_t>(kind),
                              reinterpret_cast<intptr_t>(this), kStatusWindowTimeoutMs, &answer) &&
           answer != 0;
  }
  return status_ && status_(*this, kind, BytesRead, BytesTotal);
}

int ConverterCore::ConvertToFile(const std::filesystem::path& input, const std::filesystem::path& output) {
  const std::string extension = source_ ? source_->DefaultExtension() : std::string();
  const auto inputName = ResolveInputName(input, extension);
  const auto outputName = ResolveOutputName(inputName, output);
  // Writing over the document being read would destroy it.
  std::error_code ec;
  if (std::filesystem::equivalent(inputName, outputName, ec)) return ecBadArgument;
  ApfWriter writer;
  if (const int rc = writer.Create(outputName); rc < 0) return rc;
  const ConverterSink toFile = [&](const uint8_t* data, unsigned length, bool endOfPage, bool) {
    if (PageNumber != HeaderPage) {
      // The page header goes in front of the page's first record.
      if (writer.PageCount() == 0xFFFF) return ecFaxBadFormat;
      if (const int rc = writer.BeginPage(HighRes, PageWidth == 2048); rc < 0) return rc;
      HeaderPage = PageNumber;
    }
    return endOfPage ? writer.EndPage() : writer.AppendLine(data, length);
  };
  int rc = Convert(inputName, toFile);
  if (rc >= 0) rc = writer.Close(StationId);
  if (rc < 0) {
    writer.Abandon();
    std::error_code ignored;
    std::filesystem::remove(outputName, ignored);
  }
  return rc;
}

int ConverterCore::Convert(const std::filesystem::path& input, const ConverterSink& sink) {
  if (!source_) return ecBadArgument;
  PageNumber = 0;
  LineNumber = 0;
  HeaderPage = 0;
  BytesRead = 0;
  BytesTotal = 0;
  const auto inputName = ResolveInputName(input, source_->DefaultExtension());
  int rc = ReportStatus(kStatusStarting) ? ecConvertAbort : source_->Open(*this, inputName);
  if (rc >= 0) {
    rc = ConvertPages(sink);
    const bool abortAtEnd = ReportStatus(kStatusEnding);
    if (rc >= 0 && abortAtEnd) rc = ecConvertAbort;
    source_->Close(*this);
  }
  if (const auto temporary = source_->TemporaryFile(); !temporary.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
  }
  return rc;
}

int ConverterCore::ConvertPages(const ConverterSink& sink) {
  uint8_t record[16];
  bool morePages = true;
  while (morePages) {
    ++PageNumber;
    LineNumber = 0;
    for (unsigned i = 0; i < TopMargin; ++i) {
      const unsigned length = TopMarginRecord(record);
      if (const int rc = sink(record, length, false, true); rc < 0) return rc;
    }
    while (true) {
      std::memset(LineBuffer, 0, sizeof LineBuffer);
      ++LineNumber;
      unsigned length = 0;
      bool endOfPage = false;
      morePages = false;
      if (const int rc = source_->ReadLine(*this, LineBuffer, length, endOfPage, morePages); rc < 0) return rc;
      if (ReportStatus(kStatusLine)) return ecConvertAbort;
      if (endOfPage) {
        if (const int rc = sink(kEndOfPageRecord, sizeof kEndOfPageRecord, true, morePages); rc < 0) return rc;
        if (Options & coYield)
          if (const int rc = LetMessagesThrough(); rc < 0) return rc;
        break;
      }
      if (HeightHalved && LineNumber % 2 == 0) continue;
      const unsigned coded = CodeRasterLine(LineBuffer);
      if (const int rc = sink(CodeBuffer, coded, false, true); rc < 0) return rc;
      if ((Options & coYield) && (Options & coYieldOften) && LineNumber % 16 == 0)
        if (const int rc = LetMessagesThrough(); rc < 0) return rc;
    }
  }
  return 0;
}

}  // namespace ql
