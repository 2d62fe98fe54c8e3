#include "fax_document/apf/apf_append.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "fax_document/apf/apf_file.h"
#include "fax_document/apf/file_errors.h"
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

}  // namespace ql
