#include "fax_engine/tests/interop/fax_pages.h"

#include <tiffio.h>

#include <fstream>

#include "fax_document/apf/apf_file.h"
#include "fax_document/components/fax_converter.h"
#include "fax_document/sources/fax_font.h"

namespace ql::testing {

namespace {

constexpr int kHeaderMargin = 50;
constexpr int kLeadInRows = 8;

// Lines of a letter that differ from page to page, so pages out of order show.
std::string LetterLine(int page, int line) {
  static const char* const kWords[] = {"invoice", "delivery", "order", "meeting", "payment", "schedule", "contract"};
  std::string text = "Page " + std::to_string(page) + ", line " + std::to_string(line) + ": about the ";
  text += kWords[(page * 7 + line) % 7];
  text += std::string(static_cast<size_t>((line * 3 + page) % 11), ' ') + "of " + std::to_string(1990 + line);
  return line % 4 == 3 ? std::string() : text;
}

}  // namespace

std::filesystem::path WriteText(const std::filesystem::path& dir, const std::string& name, int lines) {
  const auto path = dir / name;
  std::ofstream out(path, std::ios::binary);
  for (int line = 1; line <= lines; ++line) out << LetterLine(0, line) << "\r\n";
  return path;
}

std::filesystem::path WriteLetter(const std::filesystem::path& dir, const std::string& name, const LetterShape& shape) {
  const auto text = dir / (name + ".txt");
  {
    std::ofstream out(text, std::ios::binary);
    for (int page = 1; page <= shape.pages; ++page) {
      if (page > 1) out << '\f';
      for (int line = 1; line <= shape.linesPerPage; ++line) out << LetterLine(page, line) << "\n";
    }
  }
  const auto apf = dir / (name + ".APF");
  TFaxConverter converter;
  converter.SetInputDocumentType(idText);
  converter.SetResolution(shape.fine ? frHigh : frNormal);
  converter.SetWidth(shape.wide ? fwWide : fwNormal);
  converter.SetLinesPerPage(0);
  converter.SetDocumentFile(text.string());
  converter.SetOutFileName(apf.string());
  converter.ConvertToFile();
  return apf;
}

std::vector<Raster> DecodeApf(const std::filesystem::path& apf) {
  ApfReader reader;
  std::vector<Raster> pages;
  if (reader.Open(apf) != 0) return pages;
  for (unsigned p = 1; p <= reader.PageCount(); ++p) {
    ApfPageHeader header;
    if (reader.LocatePage(p, header) != 0) break;
    std::vector<uint8_t> stream;
    int rows = -1;  // the end-of-page record is no row
    long used = 0;
    uint8_t record[kApfMaxRecord];
    while (used < static_cast<long>(header.DataLength)) {
      const int n = reader.ReadLineRecord(record);
      if (n < 0) break;
      stream.insert(stream.end(), record, record + n);
      used += n + 2;
      ++rows;
    }
    Raster page;
    if (rows < 0 || !reference::DecodeG3(stream, header.Width(), rows, page)) page.clear();
    pages.push_back(page);
  }
  return pages;
}

std::vector<Raster> ReadTiffPages(const std::filesystem::path& tiff) {
  std::vector<Raster> pages;
  TIFFSetWarningHandler(nullptr);
  TIFF* t = TIFFOpen(tiff.c_str(), "r");
  if (t == nullptr) return pages;
  do {
    uint32_t width = 0, length = 0;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    Raster page(length, std::vector<uint8_t>(width / 8));
    for (uint32_t y = 0; y < length; ++y) {
      if (TIFFReadScanline(t, page[y].data(), y) != 1) break;
      if (photometric == PHOTOMETRIC_MINISBLACK)
        for (auto& b : page[y]) b = static_cast<uint8_t>(~b);
    }
    pages.push_back(page);
  } while (TIFFReadDirectory(t));
  TIFFClose(t);
  return pages;
}

void WriteTiffPages(const std::filesystem::path& tiff, const std::vector<Raster>& pages, bool fine) {
  TIFF* t = TIFFOpen(tiff.c_str(), "w");
  if (t == nullptr) return;
  for (const Raster& page : pages) {
    const uint32_t width = page.empty() ? 1728 : static_cast<uint32_t>(page[0].size() * 8);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.size()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.size()));
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0f);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, fine ? 196.0f : 98.0f);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    for (size_t y = 0; y < page.size(); ++y) {
      std::vector<uint8_t> row = page[y];
      TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y));
    }
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
}

std::vector<Raster> DecodeReceivedApf(const std::filesystem::path& apf, const std::vector<size_t>& rows) {
  ApfReader reader;
  std::vector<Raster> pages;
  if (reader.Open(apf) != 0) return pages;
  for (unsigned p = 1; p <= reader.PageCount(); ++p) {
    ApfPageHeader header;
    if (reader.LocatePage(p, header) != 0) break;
    std::vector<uint8_t> stream(header.DataLength);
    if (reader.ReadBlock(stream.data(), stream.size()) != static_cast<int>(stream.size())) break;
    const size_t count = p <= rows.size() ? rows[p - 1] : 0;
    Raster page;
    if (!reference::DecodeG3(stream, header.Width(), static_cast<int>(count), page)) page.clear();
    pages.push_back(page);
  }
  return pages;
}

std::vector<Raster> ReadTiffFiles(const std::vector<std::filesystem::path>& files) {
  std::vector<Raster> pages;
  for (const auto& f : files)
    for (auto& p : ReadTiffPages(f)) pages.push_back(std::move(p));
  return pages;
}

Raster ExpectedPage(const Raster& page, const std::string& header, bool fine, int width) {
  const size_t bytes = static_cast<size_t>(width / 8);
  Raster rows(kLeadInRows, std::vector<uint8_t>(bytes));
  if (!header.empty()) {
    FaxFont font;
    font.Load(kSmallFontGlyphBytes, fine);
    for (unsigned r = 1; r <= font.Metrics().CellHeight; ++r) {
      std::vector<uint8_t> drawn(bytes);
      font.DrawTextRow(header, r, drawn.data(), bytes);
      // The header starts after the margin: the drawn row moved right by 50 pixels.
      std::vector<uint8_t> row(bytes);
      for (int x = 0; x + kHeaderMargin < width; ++x)
        if (drawn[static_cast<size_t>(x / 8)] & (0x80 >> (x % 8)))
          row[static_cast<size_t>((x + kHeaderMargin) / 8)] |= static_cast<uint8_t>(0x80 >> ((x + kHeaderMargin) % 8));
      rows.push_back(row);
    }
  }
  rows.insert(rows.end(), page.begin(), page.end());
  return rows;
}

std::string Difference(const Raster& got, const Raster& want) {
  if (got.size() != want.size())
    return std::to_string(got.size()) + " rows kept, " + std::to_string(want.size()) + " rows sent";
  for (size_t y = 0; y < got.size(); ++y)
    if (got[y] != want[y]) return "row " + std::to_string(y) + " differs";
  return {};
}

}  // namespace ql::testing
