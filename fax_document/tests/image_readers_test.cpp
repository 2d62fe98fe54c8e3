// TIFF, PCX, DCX and BMP files, made by independent tools (netpbm) where possible, come
// out as the same fax rows; broken files fail with their codes and leave no output.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <random>

#include "fax_document/sources/bmp_source.h"
#include "fax_document/convert/dither.h"
#include "fax_document/sources/pcx_source.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/tests/test_pages.h"
#include "fax_document/sources/tiff_source.h"
#include "fax_document/unpack/unpacker_core.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using reference::Raster;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

// A raw PBM of the rows (1 = black), `width` pixels wide.
void WritePbm(const std::filesystem::path& path, const Raster& rows, int width) {
  std::ofstream out(path, std::ios::binary);
  out << "P4\n" << width << " " << rows.size() << "\n";
  for (const auto& row : rows) out.write(reinterpret_cast<const char*>(row.data()), (width + 7) / 8);
}

// Rows of `width` pixels, random runs, with the bits beyond the width clear.
Raster Picture(int width, int height, uint32_t seed) {
  Raster rows = reference::RandomRuns((width + 7) / 8 * 8, height, seed);
  for (auto& row : rows) {
    row.resize((width + 7) / 8);
    if (width % 8) row.back() &= static_cast<uint8_t>(0xFF00 >> (width % 8));
  }
  return rows;
}

// Converts a document with a reader (options 0, no margin) and decodes every page.
int ConvertAndDecode(std::unique_ptr<LineSource> source, const std::filesystem::path& input,
                     const std::filesystem::path& apf, std::vector<Raster>& pages) {
  ConverterCore core(std::move(source));
  core.SetOptions(0);
  core.SetMargins(0, 0);
  const int rc = core.ConvertToFile(input, apf);
  if (rc < 0) return rc;
  ApfFileHeader header;
  EXPECT_EQ(ReadApfFileHeader(apf, header), 0);
  pages.clear();
  for (unsigned p = 1; p <= header.PageCount; ++p) {
    Raster page;
    UnpackerCore unpacker([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
      if (!starting && !ending) page.emplace_back(data, data + length);
      return 0;
    });
    unpacker.UnpackFlags = 0;
    EXPECT_EQ(unpacker.UnpackPage(apf, p), 0);
    pages.push_back(page);
  }
  return rc;
}

// The first `width` pixels of each decoded row equal the picture, the rest is white.
void ExpectPicture(const Raster& decoded, const Raster& picture, int width) {
  ASSERT_EQ(decoded.size(), picture.size());
  for (size_t y = 0; y < decoded.size(); ++y) {
    for (int x = 0; x < 1728; ++x) {
      const bool want = x < width && (picture[y][x / 8] & (0x80 >> (x % 8)));
      ASSERT_EQ(want, (decoded[y][x / 8] & (0x80 >> (x % 8))) != 0) << "row " << y << " x " << x;
    }
  }
}

// A small TIFF built by hand: one image, uncompressed rows, chosen fields.
struct TiffLayout {
  bool motorola = false;
  uint16_t bitsPerSample = 1;
  uint16_t photometric = 0;
  uint32_t rowsPerStrip = 0;  // 0: one strip
  uint32_t ifdOffsetOverride = 0;
  uint32_t lyingHeight = 0;  // an image length larger than the data
};

Bytes MakeTiff(const Raster& rows, int width, const TiffLayout& layout) {
  const uint32_t rowBytes = static_cast<uint32_t>((width + 7) / 8);
  const uint32_t height = static_cast<uint32_t>(rows.size());
  const uint32_t perStrip = layout.rowsPerStrip ? layout.rowsPerStrip : height;
  const uint32_t strips = (height + perStrip - 1) / perStrip;
  Bytes out;
  const auto put16 = [&](uint32_t v) {
    if (layout.motorola) out.insert(out.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    else out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  };
  const auto put32 = [&](uint32_t v) {
    if (layout.motorola) { put16(v >> 16); put16(v & 0xFFFF); }
    else { put16(v & 0xFFFF); put16(v >> 16); }
  };
  out.insert(out.end(), layout.motorola ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
  put16(42);
  put32(0);  // directory offset, patched below
  // Pixel data first, then the strip tables, then the directory.
  std::vector<uint32_t> offsets, counts;
  for (uint32_t s = 0; s < strips; ++s) {
    offsets.push_back(static_cast<uint32_t>(out.size()));
    uint32_t n = 0;
    for (uint32_t y = s * perStrip; y < std::min(height, (s + 1) * perStrip); ++y, ++n)
      for (uint32_t i = 0; i < rowBytes; ++i) out.push_back(layout.photometric == 1 ? ~rows[y][i] : rows[y][i]);
    counts.push_back(n * rowBytes);
  }
  const uint32_t offsetTable = static_cast<uint32_t>(out.size());
  for (uint32_t v : offsets) put32(v);
  const uint32_t countTable = static_cast<uint32_t>(out.size());
  for (uint32_t v : counts) put32(v);
  const uint32_t ifd = static_cast<uint32_t>(out.size());
  struct Entry { uint16_t tag, type; uint32_t count, value; };
  const std::vector<Entry> entries = {
      {256, 4, 1, static_cast<uint32_t>(width)}, {257, 4, 1, layout.lyingHeight ? layout.lyingHeight : height}, {258, 3, 1, layout.bitsPerSample},
      {259, 3, 1, 1}, {262, 3, 1, layout.photometric},
      {273, 4, strips, strips == 1 ? offsets[0] : offsetTable}, {278, 4, 1, perStrip},
      {279, 4, strips, strips == 1 ? counts[0] : countTable}};
  put16(static_cast<uint32_t>(entries.size()));
  for (const Entry& e : entries) {
    put16(e.tag);
    put16(e.type);
    put32(e.count);
    if (e.type == 3) { put16(e.value); put16(0); }
    else put32(e.value);
  }
  put32(0);
  const uint32_t where = layout.ifdOffsetOverride ? layout.ifdOffsetOverride : ifd;
  Bytes fixed = out;
  if (layout.motorola) for (int i = 0; i < 4; ++i) fixed[4 + i] = static_cast<uint8_t>(where >> (24 - 8 * i));
  else for (int i = 0; i < 4; ++i) fixed[4 + i] = static_cast<uint8_t>(where >> (8 * i));
  return fixed;
}

TEST(TiffReader, VariantsOfOneImageGiveTheSameFax) {
  TempDir dir;
  const Raster picture = Picture(1000, 50, 21);
  std::vector<Raster> pages;
  for (const TiffLayout& layout : {TiffLayout{}, TiffLayout{true}, TiffLayout{false, 1, 1}, TiffLayout{true, 1, 1, 7}}) {
    testing::WriteBytes(dir / "A.TIF", MakeTiff(picture, 1000, layout));
    ASSERT_EQ(ConvertAndDecode(std::make_unique<TiffSource>(), dir / "A", dir / "A.APF", pages), 0);
    ASSERT_EQ(pages.size(), 1u);
    ExpectPicture(pages[0], picture, 1000);
  }
  if (!HaveTool("pnmtotiff")) GTEST_SKIP() << "netpbm missing";
  WritePbm(dir / "P.PBM", picture, 1000);
  ASSERT_TRUE(Shell("pnmtotiff -packbits " + (dir / "P.PBM").string() + " > " + (dir / "PACK.TIF").string()));
  ASSERT_EQ(ConvertAndDecode(std::make_unique<TiffSource>(), dir / "PACK.TIF", dir / "PACK.APF", pages), 0);
  ExpectPicture(pages[0], picture, 1000);
  ASSERT_TRUE(Shell("pnmtotiff -rowsperstrip 3 " + (dir / "P.PBM").string() + " > " + (dir / "S.TIF").string()));
  ASSERT_EQ(ConvertAndDecode(std::make_unique<TiffSource>(), dir / "S.TIF", dir / "S.APF", pages), 0);
  ExpectPicture(pages[0], picture, 1000);
}

TEST(TiffReader, UnsupportedAndBrokenFilesFail) {
  TempDir dir;
  const Raster picture = Picture(64, 10, 22);
  std::vector<Raster> pages;
  const auto convert = [&](const Bytes& file) {
    testing::WriteBytes(dir / "B.TIF", file);
    const int rc = ConvertAndDecode(std::make_unique<TiffSource>(), dir / "B.TIF", dir / "B.APF", pages);
    EXPECT_FALSE(std::filesystem::exists(dir / "B.APF"));
    return rc;
  };
  EXPECT_EQ(convert(MakeTiff(picture, 64, TiffLayout{false, 4})), ecBadGraphicsFormat);
  EXPECT_EQ(convert(MakeTiff(picture, 64, TiffLayout{false, 1, 0, 0, 100000})), ecBadGraphicsFormat);
  EXPECT_EQ(convert(Bytes{'X', 'X', 42, 0, 8, 0, 0, 0}), ecBadGraphicsFormat);
  EXPECT_EQ(convert(Bytes{'I', 'I'}), ecBadGraphicsFormat);
  EXPECT_EQ(convert(MakeTiff(picture, 64, TiffLayout{false, 1, 0, 0, 0, 5000})), ecDeviceReadError);
}

TEST(PcxReader, NetpbmPcxAndThreePageDcx) {
  if (!HaveTool("ppmtopcx")) GTEST_SKIP() << "netpbm missing";
  TempDir dir;
  std::vector<Raster> pictures;
  Bytes dcx = {0xB1, 0x68, 0xDE, 0x3A};
  std::vector<Bytes> pcx;
  for (int i = 0; i < 3; ++i) {
    const int width = 300 + 250 * i;
    pictures.push_back(Picture(width, 20 + i, 30 + i));
    const auto pbm = dir / ("P" + std::to_string(i) + ".PBM");
    const auto file = dir / ("P" + std::to_string(i) + ".PCX");
    WritePbm(pbm, pictures.back(), width);
    ASSERT_TRUE(Shell("ppmtopcx " + pbm.string() + " > " + file.string()));
    pcx.push_back(testing::ReadBytes(file));
  }
  std::vector<Raster> pages;
  ASSERT_EQ(ConvertAndDecode(std::make_unique<PcxSource>(), dir / "P1", dir / "P1.APF", pages), 0);
  ASSERT_EQ(pages.size(), 1u);
  ExpectPicture(pages[0], pictures[1], 550);

  uint32_t offset = 4 + 4 * 4;
  for (const Bytes& p : pcx) {
    for (int i = 0; i < 4; ++i) dcx.push_back(static_cast<uint8_t>(offset >> (8 * i)));
    offset += static_cast<uint32_t>(p.size());
  }
  dcx.insert(dcx.end(), 4, 0);
  for (const Bytes& p : pcx) dcx.insert(dcx.end(), p.begin(), p.end());
  testing::WriteBytes(dir / "D.DCX", dcx);
  ASSERT_EQ(ConvertAndDecode(std::make_unique<DcxSource>(), dir / "D", dir / "D.APF", pages), 0);
  ASSERT_EQ(pages.size(), 3u);
  for (int i = 0; i < 3; ++i) ExpectPicture(pages[i], pictures[i], 300 + 250 * i);

  // An offset pointing outside the file, and a missing magic number.
  Bytes lying = dcx;
  lying[8] = 0xFF;
  lying[9] = 0xFF;
  testing::WriteBytes(dir / "L.DCX", lying);
  EXPECT_EQ(ConvertAndDecode(std::make_unique<DcxSource>(), dir / "L.DCX", dir / "L.APF", pages), ecBadGraphicsFormat);
  lying = dcx;
  lying[0] = 0;
  testing::WriteBytes(dir / "M.DCX", lying);
  EXPECT_EQ(ConvertAndDecode(std::make_unique<DcxSource>(), dir / "M.DCX", dir / "M.APF", pages), ecBadGraphicsFormat);
  EXPECT_FALSE(std::filesystem::exists(dir / "L.APF"));
  EXPECT_FALSE(std::filesystem::exists(dir / "M.APF"));
}

TEST(PcxReader, TooWideOrNotMonochromeFails) {
  TempDir dir;
  Bytes header(128, 0);
  header[0] = 10;
  header[1] = 5;
  header[2] = 1;
  header[3] = 1;
  header[8] = 1729 & 0xFF;  // Xmax - Xmin above 1728
  header[9] = 1729 >> 8;
  header[65] = 1;
  header[66] = 216;
  header.insert(header.end(), {0xC2, 0xFF});
  testing::WriteBytes(dir / "W.PCX", header);
  std::vector<Raster> pages;
  EXPECT_EQ(ConvertAndDecode(std::make_unique<PcxSource>(), dir / "W.PCX", dir / "W.APF", pages), ecBadGraphicsFormat);
  header[8] = 1727 & 0xFF;
  header[9] = 1727 >> 8;
  header[3] = 8;
  testing::WriteBytes(dir / "C.PCX", header);
  EXPECT_EQ(ConvertAndDecode(std::make_unique<PcxSource>(), dir / "C.PCX", dir / "C.APF", pages), ecBadGraphicsFormat);
  header[3] = 1;
  testing::WriteBytes(dir / "OK.PCX", header);
  EXPECT_EQ(ConvertAndDecode(std::make_unique<PcxSource>(), dir / "OK.PCX", dir / "OK.APF", pages), 0);
  EXPECT_EQ(pages.size(), 1u);
}

TEST(BmpReader, MonochromeBmpIsReadDirectlyWithWhitePadding) {
  if (!HaveTool("ppmtobmp")) GTEST_SKIP() << "netpbm missing";
  TempDir dir;
  Raster black(12, Bytes(13, 0xFF));
  for (auto& row : black) row[12] = 0xF0;  // 100 pixels, all black
  WritePbm(dir / "B.PBM", black, 100);
  ASSERT_TRUE(Shell("ppmtobmp " + (dir / "B.PBM").string() + " > " + (dir / "B.BMP").string()));
  std::vector<Raster> pages;
  ASSERT_EQ(ConvertAndDecode(std::make_unique<BmpSource>(), dir / "B", dir / "B.APF", pages), 0);
  ExpectPicture(pages[0], black, 100);

  const Raster picture = Picture(700, 33, 40);
  WritePbm(dir / "P.PBM", picture, 700);
  ASSERT_TRUE(Shell("ppmtobmp " + (dir / "P.PBM").string() + " > " + (dir / "P.BMP").string()));
  ASSERT_EQ(ConvertAndDecode(std::make_unique<BmpSource>(), dir / "P.BMP", dir / "P.APF", pages), 0);
  ExpectPicture(pages[0], picture, 700);

  // Pixel data that claims to reach past the end of the file.
  Bytes lying = testing::ReadBytes(dir / "P.BMP");
  lying[10] = 0xF0;
  lying[11] = 0xFF;
  testing::WriteBytes(dir / "L.BMP", lying);
  EXPECT_EQ(ConvertAndDecode(std::make_unique<BmpSource>(), dir / "L.BMP", dir / "L.APF", pages), ecBadGraphicsFormat);
  EXPECT_FALSE(std::filesystem::exists(dir / "L.APF"));
}

TEST(BmpReader, ColourBmpIsDitheredThroughATemporaryFile) {
  if (!HaveTool("ppmtobmp")) GTEST_SKIP() << "netpbm missing";
  TempDir dir;
  {
    std::ofstream ppm(dir / "C.PPM", std::ios::binary);
    ppm << "P6\n256 64\n255\n";
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 256; ++x) ppm.put(static_cast<char>(x)).put(static_cast<char>(y * 4)).put(static_cast<char>(255 - x));
  }
  ASSERT_TRUE(Shell("ppmtobmp -bpp 24 " + (dir / "C.PPM").string() + " > " + (dir / "C.BMP").string()));
  const std::filesystem::path temp = dir / "tmp";
  std::filesystem::create_directory(temp);
  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved ? saved : "";
  setenv("TMPDIR", temp.c_str(), 1);
  ConverterCore core(std::make_unique<BmpSource>());
  core.SetOptions(0);
  core.SetMargins(0, 0);
  const int rc = core.ConvertToFile(dir / "C.BMP", dir / "C.APF");
  if (saved) setenv("TMPDIR", savedValue.c_str(), 1); else unsetenv("TMPDIR");
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(core.Source()->TemporaryFile().filename().string().substr(0, 4), "~DIT");
  EXPECT_TRUE(std::filesystem::is_empty(temp));  // the "~DIT" file is gone
  std::vector<Raster> pages;
  ASSERT_EQ(ConvertAndDecode(std::make_unique<BmpSource>(), dir / "C.BMP", dir / "C.APF", pages), 0);
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 64u);
  // The top row has brightness 85 throughout: partly black. Rows whose brightness is over
  // 124, the highest threshold, are all white.
  int blackTop = 0, blackBottom = 0;
  for (int x = 0; x < 256; ++x) {
    blackTop += (pages[0][0][x / 8] >> (7 - x % 8)) & 1;
    blackBottom += (pages[0][63][x / 8] >> (7 - x % 8)) & 1;
  }
  EXPECT_GT(blackTop, 256 / 10);
  EXPECT_LT(blackTop, 256 * 6 / 10);
  EXPECT_EQ(blackBottom, 0);
}

TEST(Dither, MatrixFirstRow) {
  const TDitherMatrix matrix;
  const int expected[16] = {0, 96, 48, 112, 24, 120, 56, 120, 12, 108, 60, 124, 28, 124, 60, 124};
  for (int j = 0; j < 16; ++j) EXPECT_EQ(matrix.Threshold(0, static_cast<unsigned>(j)), expected[j]) << j;
  for (unsigned i = 0; i < 16; ++i)
    for (unsigned j = 0; j < 16; ++j) EXPECT_LE(matrix.Threshold(i, j), 124);
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

// Random and cut-down files for every reader: each conversion ends with success or an
// error code, and a failed one leaves no output file.
TEST(ReadersOnBadInput, RandomAndTruncatedFilesFailCleanly) {
  TempDir dir;
  std::mt19937 random(5);
  const auto makers = std::vector<std::function<std::unique_ptr<LineSource>()>>{
      [] { return std::make_unique<TiffSource>(); }, [] { return std::make_unique<PcxSource>(); },
      [] { return std::make_unique<DcxSource>(); }, [] { return std::make_unique<BmpSource>(); }};
  // Valid starts for each format, so that cuts and flipped bytes reach past the header checks.
  const Raster picture = Picture(64, 8, 50);
  std::vector<Bytes> seeds = {MakeTiff(picture, 64, TiffLayout{}), {}, {}, {}};
  seeds[1] = Bytes(128, 0);
  seeds[1][0] = 10, seeds[1][1] = 5, seeds[1][2] = 1, seeds[1][3] = 1, seeds[1][8] = 63, seeds[1][10] = 7;
  seeds[1][65] = 1, seeds[1][66] = 8;
  for (int i = 0; i < 64; ++i) seeds[1].push_back(static_cast<uint8_t>(i % 3 ? 0x55 : 0xC3));
  seeds[2] = {0xB1, 0x68, 0xDE, 0x3A, 12, 0, 0, 0, 0, 0, 0, 0};
  seeds[2].insert(seeds[2].end(), seeds[1].begin(), seeds[1].end());
  seeds[3] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 16, 0, 0, 0, 4, 0, 0, 0, 1, 0, 1, 0};
  seeds[3].resize(62 + 16, 0x0F);
  for (size_t kind = 0; kind < makers.size(); ++kind) {
    for (int round = 0; round < 60; ++round) {
      Bytes file = seeds[kind];
      if (round % 3 == 0) file.resize(random() % (file.size() + 1));
      else for (int k = 0; k < 4; ++k) if (!file.empty()) file[random() % file.size()] = static_cast<uint8_t>(random());
      if (round % 7 == 0) for (auto& b : file) b = static_cast<uint8_t>(random());
      testing::WriteBytes(dir / "IN.X", file);
      ConverterCore core(makers[kind]());
      core.SetStatus([](ConverterCore& c, int, long, long) { return c.LineNumber > 5000; });
      const int rc = core.ConvertToFile(dir / "IN.X", dir / "OUT.APF");
      EXPECT_EQ(rc < 0, !std::filesystem::exists(dir / "OUT.APF")) << "kind " << kind << " round " << round;
      std::filesystem::remove(dir / "OUT.APF");
    }
  }
}

}  // namespace
}  // namespace ql
