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

// The page region of one part: from the header of its first page to the end of its
// last page.
struct PagesOf {
  long begin = 0;
  long end = 0;
  unsigned count = 0;
};

int Measure(const TApfPages& part, ApfFileHeader& header, PagesOf& pages) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(part.file, ec)) return ecFileNotFound;
  ApfReader reader;
  if (const int rc = reader.Open(part.file); rc < 0) return rc;
  header = reader.FileHeader();
  const unsigned first = std::max(part.first, 1u);
  const unsigned last = part.last == 0 ? reader.PageCount() : part.last;
  pages.begin = pages.end = static_cast<long>(header.FirstPageOffset);
  pages.count = 0;
  if (first > reader.PageCount() || first > last) return 0;
  ApfPageHeader page;
  if (const int rc = reader.LocatePage(first, page); rc < 0) return rc;
  pages.begin = reader.PageDataOffset() - static_cast<long>(kApfPageHeaderSize);
  if (const int rc = reader.LocatePage(last, page); rc < 0) return rc;
  pages.end = reader.PageEndOffset();
  pages.count = last - first + 1;
  return 0;
}

}  // namespace

int JoinApfPages(const std::vector<TApfPages>& parts, const std::filesystem::path& target) {
  if (parts.empty()) return ecFileNotFound;
  // Every part is checked before anything is written.
  std::vector<PagesOf> regions(parts.size());
  ApfFileHeader header;
  unsigned long total = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    ApfFileHeader partHeader;
    if (const int rc = Measure(parts[i], partHeader, regions[i]); rc < 0) return rc;
    if (i == 0) header = partHeader;
    total += regions[i].count;
  }
  if (total > 0xFFFF) return ecFaxBadFormat;
  header.PageCount = static_cast<uint16_t>(total);
  header.FirstPageOffset = kApfFileHeaderSize;  // the pages follow the header directly

  const std::filesystem::path temporary = TemporarySibling(target);
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return LastFileErrorCode();
  int rc = 0;
  for (size_t i = 0; i < parts.size() && rc >= 0; ++i) {
    std::FILE* in = std::fopen(parts[i].file.c_str(), "rb");
    if (in == nullptr) {
      rc = LastFileErrorCode();
      break;
    }
    // The first part gives the file header; every part gives its pages.
    if (i == 0) rc = CopyBytes(in, out, kApfFileHeaderSize);
    if (rc >= 0 && std::fseek(in, regions[i].begin, SEEK_SET) != 0) rc = LastFileErrorCode();
    if (rc >= 0) rc = CopyBytes(in, out, regions[i].end - regions[i].begin);
    std::fclose(in);
  }
  if (rc >= 0) {
    uint8_t raw[kApfFileHeaderSize];
    header.Encode(raw);
    if (std::fseek(out, 0, SEEK_SET) != 0 || std::fwrite(raw, 1, sizeof raw, out) != sizeof raw)
      rc = LastFileErrorCode();
  }
  if (std::fclose(out) != 0 && rc >= 0) rc = LastFileErrorCode();
  std::error_code ec;
  if (rc >= 0) {
    std::filesystem::rename(temporary, target, ec);
    if (ec) rc = FileErrorCode(ec.value());
  }
  if (rc < 0) std::filesystem::remove(temporary, ec);
  return rc;
}

int JoinApf(const std::vector<std::filesystem::path>& parts, const std::filesystem::path& target) {
  std::vector<TApfPages> whole;
  whole.reserve(parts.size());
  for (const auto& part : parts) whole.push_back(TApfPages{part});
  return JoinApfPages(whole, target);
}

int AppendApf(const std::filesystem::path& target, const std::filesystem::path& addition) {
  return JoinApf({target, addition}, target);
}

}  // namespace ql
