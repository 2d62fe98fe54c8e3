// Our T.4 coder and decoder against libtiff's Group 3 codec, in both directions.

#include <gtest/gtest.h>

#include "fax_document/apf/apf_file.h"
#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/reference/libtiff_codec.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/tests/test_pages.h"
#include "fax_document/unpack/unpacker_core.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using reference::Raster;
using testing::TempDir;

struct Sample {
  const char* name;
  Raster rows;
  int width;
};

std::vector<Sample> Samples() {
  return {
      {"text", reference::TextPage(1728, 300), 1728},
      {"photo", reference::DitheredPhoto(1728, 120), 1728},
      {"blank", reference::BlankPage(1728, 20), 1728},
      {"runs", reference::RandomRuns(1728, 400, 7), 1728},
      {"wide runs", reference::RandomRuns(2048, 400, 8), 2048},
      {"wide text", reference::TextPage(2048, 200, 3), 2048},
  };
}

Raster UnpackRows(const std::filesystem::path& apf, int width, unsigned* badCodes = nullptr) {
  Raster rows;
  UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
    if (!starting && !ending) rows.emplace_back(data, data + length);
    return 0;
  });
  core.ClearFlags(ufDoubleHeight);
  EXPECT_EQ(core.UnpackPage(apf, 1), 0);
  if (badCodes) *badCodes = core.BadCodes;
  for (auto& row : rows) EXPECT_EQ(static_cast<int>(row.size()), width / 8);
  return rows;
}

TEST(CodecReference, LibtiffDecodesWhatWeCodeToTheSameBits) {
  TempDir dir;
  for (const Sample& s : Samples()) {
    SCOPED_TRACE(s.name);
    const auto apf = dir / "OUT.APF";
    ASSERT_EQ(testing::ConvertRows(s.rows, s.width, apf), 0);
    Raster decoded;
    ASSERT_TRUE(reference::DecodeG3(testing::PageStream(apf, 1), s.width, static_cast<int>(s.rows.size()), decoded));
    EXPECT_TRUE(decoded == s.rows);
    // Our own decoder gives the same rows, and the records are one per line plus EOP.
    EXPECT_TRUE(UnpackRows(apf, s.width) == s.rows);
    EXPECT_EQ(testing::PageRecords(apf, 1).size(), s.rows.size() + 1);
  }
}

TEST(CodecReference, WeDecodeWhatLibtiffCodes) {
  TempDir dir;
  for (const Sample& s : Samples()) {
    SCOPED_TRACE(s.name);
    std::vector<uint8_t> t4;
    ASSERT_TRUE(reference::EncodeG3(s.rows, s.width, t4));
    // A transmitter ends the page with RTC: six EOLs (here each with fill before it).
    for (int i = 0; i < 6; ++i) t4.insert(t4.end(), {0x00, 0x80});
    testing::WritePlainPage(dir / "PLAIN.APF", t4, s.width == 2048);
    unsigned badCodes = 99;
    EXPECT_TRUE(UnpackRows(dir / "PLAIN.APF", s.width, &badCodes) == s.rows);
    EXPECT_EQ(badCodes, 0u);
  }
}

TEST(CodecReference, MarginAndDoublingShiftAndStretchTheRows) {
  TempDir dir;
  Raster rows = reference::RandomRuns(1728, 60, 11);
  for (auto& row : rows) row[0] |= 0x80;  // first pixel black: margin run, then black
  const TMonoBitmap bitmap = testing::BitmapOf(rows, 1728);
  ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
  core.SetOptions(0);
  core.SetMargins(50, 0);
  ASSERT_EQ(core.ConvertToFile("x", dir / "M.APF"), 0);
  Raster decoded;
  ASSERT_TRUE(reference::DecodeG3(testing::PageStream(dir / "M.APF", 1), 1728, 60, decoded));
  for (size_t y = 0; y < rows.size(); ++y)
    for (int x = 0; x < 1728; ++x) {
      const bool want = x >= 50 && (rows[y][(x - 50) / 8] & (0x80 >> ((x - 50) % 8)));
      ASSERT_EQ(want, (decoded[y][x / 8] & (0x80 >> (x % 8))) != 0) << "row " << y << " x " << x;
    }

  // An image 800 pixels wide is doubled beside a margin of 50 and fills the line exactly.
  Raster narrow = reference::RandomRuns(800, 30, 12);
  const TMonoBitmap small = testing::BitmapOf(narrow, 800);
  ConverterCore doubling(std::make_unique<BitmapSource>(&small));
  doubling.SetOptions(coDoubleWidth);
  doubling.SetMargins(50, 0);
  ASSERT_EQ(doubling.ConvertToFile("x", dir / "D.APF"), 0);
  EXPECT_TRUE(doubling.WidthDoubled);
  ASSERT_TRUE(reference::DecodeG3(testing::PageStream(dir / "D.APF", 1), 1728, 30, decoded));
  for (size_t y = 0; y < narrow.size(); ++y)
    for (int x = 50; x < 1650; ++x) {
      const int sx = (x - 50) / 2;
      const bool want = (narrow[y][sx / 8] & (0x80 >> (sx % 8))) != 0;
      ASSERT_EQ(want, (decoded[y][x / 8] & (0x80 >> (x % 8))) != 0) << "row " << y << " x " << x;
    }
}

}  // namespace
}  // namespace ql
