#include "fax_document/convert/converter_core.h"

#include <algorithm>
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

uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}

// The first pixel position at or after `pos` (and before `end`) whose colour differs from
// `black`; `end` when there is none.
unsigned RunEnd(const uint8_t* raster, unsigned pos, unsigned end, bool black) {
  const uint8_t flip = black ? 0xFF : 0x00;
  while (pos < end) {
    if ((pos & 7) != 0 || pos + 64 > end) {
      const uint8_t bits = static_cast<uint8_t>((raster[pos >> 3] ^ flip) & (0xFF >> (pos & 7)));
      if (bits != 0) return std::min(end, (pos & ~7u) + static_cast<unsigned>(__builtin_clz(bits) - 24));
      pos = (pos & ~7u) + 8;
      continue;
    }
    const uint64_t word = LoadBigEndian64(raster + (pos >> 3)) ^ (black ? ~0ull : 0ull);
    if (word != 0) return pos + static_cast<unsigned>(__builtin_clzll(word));
    pos += 64;
  }
  return end;
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

unsigned ConverterCore::CodeRasterLine(const uint8_t* raster) {
  std::memset(CodeBuffer, 0, std::min<unsigned>(CodeByte + 1, kConverterBufferSize));
  T4BitWriter out(CodeBuffer);
  out.Put(kFillAndEol, 16);
  const unsigned margin = std::min(LeftMargin, PageWidth);
  if (AllZeroBytes(raster, PageWidth / 8)) {
    out.PutRun(false, PageWidth);
  } else {
    // Walk the raster pixels that fit beside the margin; with doubling each pixel counts
    // twice. The last run is cut or stretched so that the line is exactly PageWidth long.
    const unsigned scale = WidthDoubled ? 2 : 1;
    const unsigned walk = (PageWidth - margin + scale - 1) / scale;
    unsigned total = 0;
    unsigned pos = 0;
    bool black = false;
    while (true) {
      const unsigned end = RunEnd(raster, pos, walk, black);
      unsigned run = (end - pos) * scale + (total == 0 && !black ? margin : 0);
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
