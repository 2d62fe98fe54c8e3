#include "fax_document/tests/test_pages.h"

#include <fstream>
#include <iterator>
#include <memory>

#include "fax_document/apf/apf_file.h"
#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"

namespace ql::testing {

TMonoBitmap BitmapOf(const Raster& rows, int width) {
  TMonoBitmap bitmap(width, static_cast<int>(rows.size()), false);
  for (size_t y = 0; y < rows.size(); ++y)
    std::copy(rows[y].begin(), rows[y].begin() + bitmap.BytesPerRow(), bitmap.Row(static_cast<int>(y)));
  return bitmap;
}

Raster RowsOf(const TMonoBitmap& bitmap, int bytes) {
  const TMonoBitmap fax = bitmap.WhiteIsOne() ? bitmap.Inverted() : bitmap;
  Raster rows(static_cast<size_t>(fax.Height()), std::vector<uint8_t>(static_cast<size_t>(bytes), 0));
  for (int y = 0; y < fax.Height(); ++y)
    for (int i = 0; i < bytes && i < fax.BytesPerRow(); ++i) rows[y][i] = fax.Row(y)[i];
  return rows;
}

std::vector<std::vector<uint8_t>> PageRecords(const std::filesystem::path& apf, unsigned page) {
  ApfReader reader;
  std::vector<std::vector<uint8_t>> records;
  ApfPageHeader header;
  if (reader.Open(apf) < 0 || reader.LocatePage(page, header) < 0) return records;
  uint32_t consumed = 0;
  uint8_t buffer[kApfMaxRecord];
  while (consumed < header.DataLength) {
    const int n = reader.ReadLineRecord(buffer);
    if (n < 0) break;
    records.emplace_back(buffer, buffer + n);
    consumed += static_cast<uint32_t>(n) + 2;
  }
  return records;
}

std::vector<uint8_t> PageStream(const std::filesystem::path& apf, unsigned page) {
  std::vector<uint8_t> stream;
  for (const auto& record : PageRecords(apf, page)) stream.insert(stream.end(), record.begin(), record.end());
  return stream;
}

int ConvertRows(const Raster& rows, int width, const std::filesystem::path& apf, bool highRes) {
  const TMonoBitmap bitmap = BitmapOf(rows, width);
  ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
  core.SetOptions(0);
  core.SetMargins(0, 0);
  core.SetPageWidth(static_cast<unsigned>(width));
  core.SetHighRes(highRes);
  return core.ConvertToFile("bitmap", apf);
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WritePlainPage(const std::filesystem::path& path, const std::vector<uint8_t>& t4, bool wide) {
  std::vector<uint8_t> file(kApfFileHeaderSize + kApfPageHeaderSize, 0);
  ApfFileHeader header;
  header.PageCount = 1;
  header.Encode(file.data());
  ApfPageHeader page;
  page.DataLength = static_cast<uint32_t>(t4.size());
  page.PageFlags = wide ? PageWide : 0;
  page.Encode(file.data() + kApfFileHeaderSize);
  file.insert(file.end(), t4.begin(), t4.end());
  WriteBytes(path, file);
}

}  // namespace ql::testing
