// TIFF in: every compression libtiff writes decodes to the same fax pages, other
// resolutions are scaled to fax resolution, grey and colour pages are dithered.

#include <gtest/gtest.h>

#include "fax_document/imports/document_import.h"
#include "import_fixtures.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::PageImage;
using testing::BlackShare;
using testing::TempDir;
using testing::TiffPage;

ImportResult Import(const std::filesystem::path& in, const std::filesystem::path& out, bool fine = true) {
  ImportOptions options;
  options.fine = fine;
  return ImportDocument(in, out, options);
}

// A two-page fax TIFF stored by tiffcp in each compression: the fax pages are the
// pages as libtiff reads them, pixel for pixel (the second page narrower, padded).
TEST(TiffImport, EveryCompressionGivesTheSamePages) {
  TempDir dir;
  const std::vector<TiffPage> pages = {testing::SampleFaxPage(1728, 600, 1), testing::SampleFaxPage(1700, 500, 2)};
  ASSERT_TRUE(testing::WriteTiff(dir / "plain.tif", pages));
  for (const std::string compression : {"none", "g3", "g3:2d", "g4", "lzw", "zip", "packbits"}) {
    SCOPED_TRACE(compression);
    const auto tiff = dir / ("c-" + compression + ".tif");
    ASSERT_TRUE(testing::Shell("tiffcp -c " + compression + " '" + (dir / "plain.tif").string() + "' '" + tiff.string() + "'"));
    EXPECT_EQ(DocumentKind(tiff), "tiff");
    const auto written = testing::ReadTiffPages(tiff);
    ASSERT_EQ(written.size(), 2u);
    const auto apf = dir / ("c-" + compression + ".APF");
    const ImportResult result = Import(tiff, apf);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.pages, 2);
    const auto ours = testing::ApfPages(apf);
    ASSERT_EQ(ours.size(), 2u);
    for (size_t p = 0; p < 2; ++p) {
      ASSERT_EQ(ours[p].width, 1728);
      ASSERT_EQ(ours[p].rows.size(), written[p].rows.size());
      for (size_t y = 0; y < ours[p].rows.size(); ++y) {
        auto expected = written[p].rows[y];
        expected.resize(1728 / 8, 0);
        ASSERT_EQ(ours[p].rows[y], expected) << "page " << p + 1 << " row " << y;
      }
    }
  }
  // Tiles instead of strips, and black stored as zero, read the same.
  ASSERT_TRUE(testing::Shell("tiffcp -t -w 256 -l 256 -c g4 '" + (dir / "plain.tif").string() + "' '" +
                             (dir / "tiled.tif").string() + "'"));
  ASSERT_TRUE(Import(dir / "tiled.tif", dir / "tiled.APF").ok);
  const auto tiled = testing::ApfPages(dir / "tiled.APF");
  const auto plain = testing::ApfPages(dir / "c-none.APF");
  ASSERT_EQ(tiled.size(), 2u);
  EXPECT_EQ(tiled[0].rows, plain[0].rows);
  EXPECT_EQ(tiled[1].rows, plain[1].rows);
}

// Fax files at 204 x 98 are doubled for a fine fax and 204 x 196 files halved for a
// normal one; a 300 dpi scan shrinks to fax width with its proportions.
TEST(TiffImport, ResolutionsAreScaledToTheFax) {
  TempDir dir;
  TiffPage normal = testing::SampleFaxPage(1728, 300, 3);
  normal.yres = 98;
  ASSERT_TRUE(testing::WriteTiff(dir / "normal.tif", {normal}));
  ASSERT_TRUE(Import(dir / "normal.tif", dir / "N.APF").ok);
  auto pages = testing::ApfPages(dir / "N.APF");
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].rows.size(), 600u);
  for (size_t y = 0; y < 600; ++y) ASSERT_EQ(pages[0].rows[y], normal.rows[y / 2]) << y;

  const TiffPage fine = testing::SampleFaxPage(1728, 600, 4);
  ASSERT_TRUE(testing::WriteTiff(dir / "fine.tif", {fine}));
  ASSERT_TRUE(Import(dir / "fine.tif", dir / "F.APF", false).ok);
  pages = testing::ApfPages(dir / "F.APF");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].rows.size(), 300u);

  // An A4 scan at 300 dpi: 2480 x 3508 pixels; a black box 600 pixels from the left
  // and the top, 300 pixels square (one inch).
  TiffPage scan;
  scan.width = 2480;
  scan.xres = scan.yres = 300;
  scan.rows.assign(3508, std::vector<uint8_t>(310, 0));
  for (int y = 600; y < 900; ++y)
    for (int x = 600; x < 900; ++x) scan.rows[static_cast<size_t>(y)][static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
  ASSERT_TRUE(testing::WriteTiff(dir / "scan.tif", {scan}));
  ASSERT_TRUE(testing::Shell("tiffcp -c g4 '" + (dir / "scan.tif").string() + "' '" + (dir / "scan4.tif").string() + "'"));
  ASSERT_TRUE(Import(dir / "scan4.tif", dir / "S.APF").ok);
  pages = testing::ApfPages(dir / "S.APF");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].width, 1728);
  EXPECT_NEAR(static_cast<double>(pages[0].rows.size()), 3508 * 196.0 / 300, 1);
  // The box is one inch square at 204 x 196: from 408 across and 392 down.
  EXPECT_GT(BlackShare(pages[0], 412, 396, 404 + 200, 388 + 192), 0.99);
  EXPECT_LT(BlackShare(pages[0], 0, 0, 400, 380), 0.01);
  EXPECT_LT(BlackShare(pages[0], 620, 400, 1728, 600), 0.01);
}

// Grey and colour pages are dithered so that each grey keeps its share of black:
// bands of grey 32, 128 and 224 come out about 7/8, 1/2 and 1/8 black, white stays white.
TEST(TiffImport, GreyAndColourAreDithered) {
  TempDir dir;
  const uint8_t levels[] = {32, 128, 224, 255};
  TiffPage grey;
  grey.width = 1728;
  grey.bits = 8;
  TiffPage colour = grey;
  colour.samples = 3;
  for (int y = 0; y < 400; ++y) {
    const uint8_t level = levels[y / 100];
    grey.rows.emplace_back(1728, level);
    std::vector<uint8_t> rgb;
    for (int x = 0; x < 1728; ++x) rgb.insert(rgb.end(), {level, level, level});
    colour.rows.push_back(rgb);
  }
  ASSERT_TRUE(testing::WriteTiff(dir / "grey.tif", {grey}));
  ASSERT_TRUE(testing::WriteTiff(dir / "colour.tif", {colour}));
  ASSERT_TRUE(testing::Shell("tiffcp -c lzw '" + (dir / "grey.tif").string() + "' '" + (dir / "grey-lzw.tif").string() + "'"));
  ASSERT_TRUE(testing::Shell("tiffcp -c jpeg:95 '" + (dir / "colour.tif").string() + "' '" +
                             (dir / "colour-jpeg.tif").string() + "'"));
  for (const std::string name : {"grey-lzw", "colour-jpeg"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Import(dir / (name + ".tif"), dir / (name + ".APF")).ok);
    const auto pages = testing::ApfPages(dir / (name + ".APF"));
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 400u);
    const double expected[] = {1 - 32.5 / 256, 1 - 128.5 / 256, 1 - 224.5 / 256, 0};
    for (int band = 0; band < 4; ++band)
      EXPECT_NEAR(BlackShare(pages[0], 0, band * 100 + 16, 1728, band * 100 + 84), expected[band], 0.02) << band;
  }
}

TEST(TiffImport, DamagedFilesFailCleanly) {
  TempDir dir;
  ASSERT_TRUE(testing::WriteTiff(dir / "good.tif", {testing::SampleFaxPage(1728, 800, 5)}));
  ASSERT_TRUE(testing::Shell("tiffcp -c g4 '" + (dir / "good.tif").string() + "' '" + (dir / "g4.tif").string() + "'"));
  std::string g4 = testing::ReadFile(dir / "g4.tif");
  std::string garbled = g4;
  for (size_t i = 200; i < garbled.size() && i < 5000; i += 7) garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
  const std::pair<std::string, std::string> cases[] = {
      {"header only", std::string("II*\0", 4) + std::string(4, '\xFF')},
      {"directory pointing past the end", std::string("II*\0\x10\x00\x00\x00", 8) + std::string(8, '\0')},
      {"cut short", g4.substr(0, g4.size() / 3)},
  };
  for (const auto& [name, content] : cases) {
    SCOPED_TRACE(name);
    TempDir case_dir;
    testing::WriteText(case_dir / "bad.tif", content);
    const ImportResult result = Import(case_dir / "bad.tif", case_dir / "BAD.APF");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(testing::OtherFiles(case_dir.path(), {"bad.tif"}).empty());
  }
  // Garbled coding either fails or still gives a whole page; nothing half-written stays.
  testing::WriteText(dir / "garbled.tif", garbled);
  const ImportResult result = Import(dir / "garbled.tif", dir / "GARBLED.APF");
  EXPECT_EQ(std::filesystem::exists(dir / "GARBLED.APF"), result.ok);
  EXPECT_TRUE(testing::OtherFiles(dir.path(), {"good.tif", "g4.tif", "garbled.tif", "GARBLED.APF"}).empty());
}

}  // namespace
}  // namespace ql
