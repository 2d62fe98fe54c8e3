#include "import_fixtures.h"

#include <sys/wait.h>
#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fax_document/apf/apf_file.h"
#include "fax_document/tests/test_pages.h"

namespace ql::testing {

int Black(const PageImage& page, int x, int y) {
  return (page.rows[static_cast<size_t>(y)][static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
}

double BlackShare(const PageImage& page, int x0, int y0, int x1, int y1) {
  long black = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) black += Black(page, x, y);
  return static_cast<double>(black) / ((x1 - x0) * static_cast<double>(y1 - y0));
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string SamplePostScript(int pages, int widthPt, int heightPt) {
  std::ostringstream ps;
  ps << "%!PS-Adobe-3.0\n"
     << "<< /PageSize [" << widthPt << " " << heightPt << "] >> setpagedevice\n"
     << "1 1 " << pages << " {\n"
     << "  /n exch def\n"
     << "  /Helvetica-Bold findfont 48 scalefont setfont 60 " << heightPt - 110 << " moveto (Page ) show n 3 string cvs show\n"
     << "  /Times-Roman findfont 11 scalefont setfont\n"
     << "  0 1 24 { /i exch def 60 " << heightPt - 160 << " i 14 mul sub moveto\n"
     << "    (The quick brown fox jumps over the lazy dog, line ) show i 3 string cvs show } for\n"
     << "  0.55 setgray 60 180 150 120 rectfill 0 setgray\n"
     << "  gsave 260 160 translate 220 160 scale 16 16 8 [16 0 0 16 0 0]\n"
     << "    { 256 string 0 1 255 { 1 index exch dup 16 mod 16 mul n 40 mul add 255 and put } for } image grestore\n"
     << "  0.3 setlinewidth 60 120 moveto " << widthPt - 60 << " 120 lineto stroke\n"
     << "  1 setlinewidth 60 100 moveto " << widthPt - 60 << " 140 lineto stroke\n"
     << "  showpage\n"
     << "} for\n";
  return ps.str();
}

std::string EmptyPdf() {
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (const char* object : {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"}) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + object + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 3\n0000000000 65535 f \n";
  for (const size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size 3 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

bool MakePdf(const std::string& postscript, const std::filesystem::path& pdf) {
  const std::filesystem::path source = pdf.string() + ".ps";
  WriteText(source, postscript);
  const bool ok = Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile='" + pdf.string() + "' '" +
                        source.string() + "'");
  std::filesystem::remove(source);
  return ok;
}

std::vector<PageImage> ReadTiffPages(const std::filesystem::path& tiff) {
  std::vector<PageImage> pages;
  TIFF* t = TIFFOpen(tiff.c_str(), "r");
  if (t == nullptr) return pages;
  do {
    uint32_t width = 0, height = 0;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    PageImage page;
    page.width = static_cast<int>(width);
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(t)));
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(t, row.data(), y, 0) < 0) break;
      std::vector<uint8_t> fax(row.begin(), row.begin() + (width + 7) / 8);
      if (photometric == PHOTOMETRIC_MINISBLACK)
        for (auto& b : fax) b = static_cast<uint8_t>(~b);
      if (width % 8) fax.back() &= static_cast<uint8_t>(0xFF00 >> (width % 8));
      page.rows.push_back(std::move(fax));
    }
    pages.push_back(std::move(page));
  } while (TIFFReadDirectory(t));
  TIFFClose(t);
  return pages;
}

bool WriteTiff(const std::filesystem::path& path, const std::vector<TiffPage>& pages) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (t == nullptr) return false;
  bool ok = true;
  for (size_t p = 0; p < pages.size() && ok; ++p) {
    const TiffPage& page = pages[p];
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.rows.size()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(page.bits));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(page.samples));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 page.samples == 3 ? PHOTOMETRIC_RGB : page.bits == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 64u);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, page.xres);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, page.yres);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (pages.size() > 1) {
      TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      TIFFSetField(t, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p), static_cast<uint16_t>(pages.size()));
    }
    for (size_t y = 0; y < page.rows.size() && ok; ++y) {
      std::vector<uint8_t> row = page.rows[y];
      ok = TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) >= 0;
    }
    ok = ok && TIFFWriteDirectory(t);
  }
  TIFFClose(t);
  return ok;
}

TiffPage SampleFaxPage(int width, int rows, int seed) {
  TiffPage page;
  page.width = width;
  page.rows.assign(static_cast<size_t>(rows), std::vector<uint8_t>(static_cast<size_t>((width + 7) / 8), 0));
  auto set = [&](int x, int y) {
    if (x >= 0 && x < width && y >= 0 && y < rows) page.rows[static_cast<size_t>(y)][static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
  };
  uint32_t state = static_cast<uint32_t>(seed) * 2654435761u + 1;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  // Lines of "words": runs of short strokes of random length.
  for (int line = 40; line + 30 < rows / 2; line += 36)
    for (int x = 60; x < width - 80;) {
      const int word = 20 + static_cast<int>(next() % 90);
      for (int y = line; y < line + 22; ++y)
        for (int i = 0; i < word; ++i)
          if ((next() >> 7) % 3 == 0) set(x + i, y);
      x += word + 18;
    }
  for (int y = rows / 2 + 40; y < rows / 2 + 240; ++y)
    for (int x = 100 + seed * 10; x < 500 + seed * 10; ++x) set(x, y);
  for (int i = 0; i < std::min(width, rows); ++i) set(i, rows - 1 - i);
  return page;
}

std::vector<PageImage> GhostscriptFaxPages(const std::filesystem::path& document, bool fine) {
  const std::filesystem::path tiff = document.string() + ".reference.tif";
  if (!Shell(std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=tiffg3 ") + (fine ? "-r204x196" : "-r204x98") +
             " -sOutputFile='" + tiff.string() + "' '" + document.string() + "'"))
    return {};
  auto pages = ReadTiffPages(tiff);
  std::filesystem::remove(tiff);
  return pages;
}

std::vector<PageImage> ApfPages(const std::filesystem::path& apf) {
  std::vector<PageImage> pages;
  ApfReader reader;
  if (reader.Open(apf) < 0) return pages;
  const unsigned count = reader.PageCount();
  for (unsigned p = 1; p <= count; ++p) {
    ApfPageHeader header;
    if (reader.LocatePage(p, header) < 0) break;
    PageImage page;
    page.width = header.Wide() ? 2048 : 1728;
    const int rows = static_cast<int>(PageRecords(apf, p).size()) - 1;  // less the end-of-page record
    if (!reference::DecodeG3(PageStream(apf, p), page.width, rows, page.rows)) break;
    pages.push_back(std::move(page));
  }
  return pages;
}

std::vector<std::string> OtherFiles(const std::filesystem::path& folder, const std::vector<std::string>& known) {
  std::vector<std::string> others;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
  }
  return others;
}

bool NoChildren() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

}  // namespace ql::testing
