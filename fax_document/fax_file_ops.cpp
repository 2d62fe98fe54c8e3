#include "fax_document/fax_file_ops.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fax_document/apf_file.h"
#include "fax_document/bitmap_source.h"
#include "fax_document/converter_core.h"
#include "fax_document/file_errors.h"
#include "fax_document/unpacker_core.h"
#include "platform/atomic_file.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// Copies `length` bytes (or all to the end when negative) from `in` to `out`.
int CopyBytes(std::FILE* in, std::FILE* out, long length) {
  std::vector<char> block(4096);
  while (length != 0) {
    const size_t want = length < 0 ? block.size() : std::min<size_t>(block.size(), static_cast<size_t>(length));
    const size_t got = std::fread(block.data(), 1, want, in);
    if (got == 0) {
      if (std::ferror(in)) return LastFileErrorCode();
      return length < 0 ? 0 : ecReadBeyondEnd;
    }
    if (std::fwrite(block.data(), 1, got, out) != got) return LastFileErrorCode();
    if (length > 0) length -= static_cast<long>(got);
  }
  return 0;
}

// The offset just after the last page of an open APF file.
int EndOfLastPage(ApfReader& reader, long& end) {
  end = reader.FileHeader().FirstPageOffset;
  if (reader.PageCount() == 0) return 0;
  ApfPageHeader page;
  if (const int rc = reader.LocatePage(reader.PageCount(), page); rc < 0) return rc;
  end = reader.PageEndOffset();
  return 0;
}

}  // namespace

int AppendApf(const std::filesystem::path& target, const std::filesystem::path& addition) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(target, ec) || !std::filesystem::is_regular_file(addition, ec))
    return ecFileNotFound;
  ApfReader a, b;
  if (const int rc = a.Open(target); rc < 0) return rc;
  if (const int rc = b.Open(addition); rc < 0) return rc;
  ApfFileHeader header = a.FileHeader();
  if (header.PageCount + b.PageCount() > 0xFFFF) return ecFaxBadFormat;
  long aEnd = 0;
  if (const int rc = EndOfLastPage(a, aEnd); rc < 0) return rc;
  long bEnd = 0;
  if (const int rc = EndOfLastPage(b, bEnd); rc < 0) return rc;
  a.Close();
  header.PageCount = static_cast<uint16_t>(header.PageCount + b.PageCount());

  const std::filesystem::path temporary = TemporarySibling(target);
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return LastFileErrorCode();
  std::FILE* in = std::fopen(target.c_str(), "rb");
  int rc = in == nullptr ? LastFileErrorCode() : CopyBytes(in, out, aEnd);
  if (in != nullptr) std::fclose(in);
  // Everything of the addition from its first page header on.
  if (rc >= 0) rc = b.Seek(static_cast<long>(b.FileHeader().FirstPageOffset));
  if (rc >= 0) {
    std::vector<uint8_t> block(4096);
    for (long left = bEnd - static_cast<long>(b.FileHeader().FirstPageOffset); rc >= 0 && left > 0;) {
      const int got = b.ReadBlock(block.data(), static_cast<size_t>(std::min<long>(left, 4096)));
      if (got <= 0) {
        rc = got < 0 ? got : ecReadBeyondEnd;
        break;
      }
      if (std::fwrite(block.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got))
        rc = LastFileErrorCode();
      left -= got;
    }
  }
  if (rc >= 0) {
    uint8_t raw[kApfFileHeaderSize];
    header.Encode(raw);
    if (std::fseek(out, 0, SEEK_SET) != 0 || std::fwrite(raw, 1, sizeof raw, out) != sizeof raw)
      rc = LastFileErrorCode();
  }
  if (std::fclose(out) != 0 && rc >= 0) rc = LastFileErrorCode();
  if (rc >= 0) {
    std::filesystem::rename(temporary, target, ec);
    if (ec) rc = FileErrorCode(ec.value());
  }
  if (rc < 0) std::filesystem::remove(temporary, ec);
  return rc;
}

int NormalisedPageWidth(int width, int height) {
  // The send flow's printer-driver pages are 2296, or 2157 to 2291 rows tall; their
  // narrower minimum keeps those pages at the width the driver meant. A page wider than
  // the minimum keeps its width, so nothing at its right edge is cut off.
  if (height >= 2157 && height <= 2291 && height != 2160) return std::max(width, 1600);
  return std::max(width, 1664);
}

int NormaliseFax(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::filesystem::path& workFolder) {
  std::error_code ec;
  if (!std::filesystem::exists(source, ec)) return 0;
  UnpackerCore unpacker;
  unpacker.SetFlags(ufYield | ufDoubleHeight);
  ApfFileHeader header;
  if (const int rc = unpacker.ReadFileHeader(source, header); rc < 0) return rc;
  if (header.PageCount == 0) return ecFaxBadFormat;

  std::vector<std::filesystem::path> pages;
  const auto removePages = [&] {
    for (const auto& page : pages) std::filesystem::remove(page, ec);
  };
  int rc = 0;
  for (unsigned p = 1; p <= header.PageCount && rc >= 0; ++p) {
    TMonoBitmap bitmap;
    rc = unpacker.UnpackPageToBitmap(source, p, true, bitmap);
    if (rc < 0) break;
    const int height = std::max(bitmap.Height(), 1);
    const int width = std::min(NormalisedPageWidth(bitmap.Width(), height), 2048);
    TMonoBitmap page(width, height, true);
    page.CopyFrom(bitmap);
    // Marks at the right edge keep the converter from trimming the page narrower.
    page.SetBlack(width - 1, 0);
    page.SetBlack(width - 1, height - 1);
    ConverterCore converter(std::make_unique<BitmapSource>(&page));
    converter.SetHighRes(true);
    converter.SetMargins(0, 0);
    converter.SetOptions(coYield);
    converter.SetPageWidth(width > 1728 ? 2048 : 1728);
    converter.SetStationId(header.SenderStation);
    pages.push_back(workFolder / ("TEMP" + std::to_string(p) + ".apf"));
    rc = converter.ConvertToFile("bitmap", pages.back());
  }
  if (rc >= 0) {
    const std::filesystem::path temporary = TemporarySibling(target);
    std::filesystem::copy_file(pages.front(), temporary, std::filesystem::copy_options::overwrite_existing, ec);
    rc = ec ? FileErrorCode(ec.value()) : 0;
    for (size_t i = 1; i < pages.size() && rc >= 0; ++i) rc = AppendApf(temporary, pages[i]);
    if (rc >= 0) {
      std::filesystem::rename(temporary, target, ec);
      if (ec) rc = FileErrorCode(ec.value());
    }
    if (rc < 0) std::filesystem::remove(temporary, ec);
  }
  removePages();
  return rc;
}

}  // namespace ql
