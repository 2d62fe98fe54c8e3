// Decoding rules of the unpacker: which lines come out, aspect modes, whitespace
// compression, scaling, bad codes and bad files.

#include "fax_document/unpack/unpacker_core.h"

#include <gtest/gtest.h>

#include <random>

#include "fax_document/apf/apf_file.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/t4/t4_bit_writer.h"
#include "fax_document/tests/test_pages.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using reference::Raster;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;

// A line record coding the given runs (white first) after fill and EOL.
Bytes Record(const std::vector<unsigned>& runs, unsigned fillZeros = 4, bool badCode = false) {
  Bytes out(5000, 0);
  T4BitWriter w(out.data());
  for (unsigned i = 0; i < fillZeros; i += 8) w.Put(0, std::min(8u, fillZeros - i));
  w.Put(kEolCode);
  for (size_t i = 0; i < runs.size(); ++i) w.PutRun(i % 2 == 1, runs[i]);
  if (badCode) {
    w.Put(0x100, 9);  // eight zeros and a one match no code
    w.Put(0x7, 3);    // ones that are skipped after it
  }
  unsigned bit = 0;
  out.resize(w.Finish(bit) + 2);
  return out;
}

void WritePage(const std::filesystem::path& path, const std::vector<Bytes>& records, bool highRes = false) {
  ApfWriter writer;
  ASSERT_EQ(writer.Create(path), 0);
  ASSERT_EQ(writer.BeginPage(highRes, false), 0);
  for (const Bytes& r : records) ASSERT_EQ(writer.AppendLine(r.data(), r.size()), 0);
  ASSERT_EQ(writer.EndPage(), 0);
  ASSERT_EQ(writer.Close("T"), 0);
}

struct Collected {
  std::vector<Bytes> lines;
  int rc = 0;
  unsigned badCodes = 0;
};

Collected Unpack(const std::filesystem::path& path, uint16_t flags, unsigned whiteFrom = 0, unsigned whiteTo = 0) {
  Collected c;
  UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
    if (!starting && !ending) c.lines.emplace_back(data, data + length);
    return 0;
  });
  core.UnpackFlags = 0;
  core.SetFlags(flags);
  EXPECT_EQ(core.SetWhitespace(whiteFrom, whiteTo), 0);
  c.rc = core.UnpackPage(path, 1);
  c.badCodes = core.BadCodes;
  return c;
}

const Bytes kBlack = Record({0, 1728});
const Bytes kWhite = Record({1728});
const Bytes kMark = Record({100, 8, 1620});

TEST(Unpacker, AspectModesDoubleOrHalveStandardPagesOnly) {
  TempDir dir;
  WritePage(dir / "S.APF", {kMark, kBlack});
  Collected plain = Unpack(dir / "S.APF", 0);
  ASSERT_EQ(plain.lines.size(), 2u);
  EXPECT_EQ(plain.lines[0][12], 0x0F);
  EXPECT_EQ(plain.lines[0][13], 0xF0);
  EXPECT_EQ(Unpack(dir / "S.APF", ufDoubleHeight).lines.size(), 4u);
  Collected half = Unpack(dir / "S.APF", ufHalfWidth);
  ASSERT_EQ(half.lines.size(), 2u);
  EXPECT_EQ(half.lines[0].size(), 108u);
  EXPECT_EQ(half.lines[0][6], 0x3C);  // pixels 100-107 become 50-53
  EXPECT_EQ(half.lines[0][7], 0x00);
  WritePage(dir / "H.APF", {kMark, kBlack}, true);
  EXPECT_EQ(Unpack(dir / "H.APF", ufDoubleHeight).lines.size(), 2u);
  EXPECT_EQ(Unpack(dir / "H.APF", ufHalfWidth).lines[0].size(), 216u);
}

TEST(Unpacker, LinesOfAnotherLengthAreDropped) {
  TempDir dir;
  WritePage(dir / "L.APF", {Record({1727}), Record({100, 1627}), Record({1729})});
  Collected c = Unpack(dir / "L.APF", 0);
  EXPECT_EQ(c.rc, 0);
  EXPECT_TRUE(c.lines.empty());
  UnpackerCore core;
  TMonoBitmap bitmap(5, 5);
  EXPECT_EQ(core.UnpackPageToBitmap(dir / "L.APF", 1, true, bitmap), 0);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
}

TEST(Unpacker, AnyNumberOfFillZerosMakesOneEol) {
  TempDir dir;
  WritePage(dir / "F.APF", {Record({100, 8, 1620}, 0), Record({100, 8, 1620}, 400), Record({1728}, 4000 * 8 - 16)});
  Collected c = Unpack(dir / "F.APF", 0);
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.lines.size(), 3u);
  EXPECT_EQ(c.badCodes, 0u);
}

TEST(Unpacker, BadCodesAreCountedAndSkipped) {
  TempDir dir;
  // Eight zeros and a one match no code (only eleven zeros make an EOL); the decoder
  // skips it and the ones after it, and the short line is dropped.
  WritePage(dir / "B.APF", {Record({100}, 4, true), kMark});
  Collected c = Unpack(dir / "B.APF", 0);
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.badCodes, 1u);
  EXPECT_EQ(c.lines.size(), 1u);
}

TEST(Unpacker, WhitespaceCompression) {
  TempDir dir;
  const auto page = [&](unsigned blanksInside, unsigned blanksAtEnd) {
    std::vector<Bytes> records{kMark};
    for (unsigned i = 0; i < blanksInside; ++i) records.push_back(kWhite);
    records.push_back(kMark);
    for (unsigned i = 0; i < blanksAtEnd; ++i) records.push_back(kWhite);
    WritePage(dir / "W.APF", records);
  };
  page(3, 0);
  EXPECT_EQ(Unpack(dir / "W.APF", 0, 5, 2).lines.size(), 2u + 3u);
  page(7, 0);
  EXPECT_EQ(Unpack(dir / "W.APF", 0, 5, 2).lines.size(), 2u + 2u);
  page(0, 9);
  EXPECT_EQ(Unpack(dir / "W.APF", 0, 5, 2).lines.size(), 2u + 2u);
  EXPECT_EQ(Unpack(dir / "W.APF", 0, 4, 4).lines.size(), 2u);
  EXPECT_EQ(Unpack(dir / "W.APF", 0).lines.size(), 2u + 9u);

  UnpackerCore core;
  EXPECT_EQ(core.SetWhitespace(0, 1), ecBadArgument);
  EXPECT_EQ(core.SetWhitespace(2, 3), ecBadArgument);
  EXPECT_EQ(core.SetWhitespace(0, 0), 0);
}

TEST(Unpacker, BitmapIsCutToTheUsedWidthAndScaled) {
  TempDir dir;
  Raster rows = reference::BlankPage(1728, 10);
  rows[3][40] = 0x01;  // last used byte 40: width 42 bytes = 336 pixels
  ASSERT_EQ(testing::ConvertRows(rows, 1728, dir / "C.APF"), 0);
  UnpackerCore core;
  core.ClearFlags(ufDoubleHeight);
  TMonoBitmap bitmap;
  ASSERT_EQ(core.UnpackPageToBitmap(dir / "C.APF", 1, true, bitmap), 0);
  EXPECT_EQ(bitmap.Width(), 336);
  EXPECT_EQ(bitmap.Height(), 10);
  EXPECT_TRUE(bitmap.WhiteIsOne());
  EXPECT_TRUE(bitmap.IsBlack(327, 3));
  EXPECT_EQ(bitmap.Row(3)[40], 0xFE);
  EXPECT_FALSE(bitmap.IsBlack(326, 3));

  rows[0][215] = 0x03;
  ASSERT_EQ(testing::ConvertRows(rows, 1728, dir / "D.APF"), 0);
  core.SetScale(1, 2, 2, 1);
  ASSERT_EQ(core.UnpackPageToBitmap(dir / "D.APF", 1, false, bitmap), 0);
  EXPECT_EQ(bitmap.Width(), 864);
  EXPECT_EQ(bitmap.Height(), 20);
  EXPECT_TRUE(bitmap.IsBlack(863, 0));
  EXPECT_TRUE(bitmap.IsBlack(863, 1));
}

TEST(Unpacker, BadFilesFailWithTheirCodes) {
  TempDir dir;
  UnpackerCore core;
  EXPECT_EQ(core.UnpackPage("", 1), ecFileNotFound);
  EXPECT_EQ(core.UnpackPage(dir / "NONE.APF", 1), ecFileNotFound);
  WritePage(dir / "OK.APF", {kMark, kMark});
  EXPECT_EQ(core.UnpackPage(dir / "OK.APF", 2), ecFaxBadFormat);
  // Cut the file inside the second line record: reading past the end fails.
  Bytes file = testing::ReadBytes(dir / "OK.APF");
  file.resize(kApfFileHeaderSize + kApfPageHeaderSize + kMark.size() + 2 + 3);
  testing::WriteBytes(dir / "CUT.APF", file);
  TMonoBitmap bitmap;
  EXPECT_EQ(core.UnpackPageToBitmap(dir / "CUT.APF", 1, true, bitmap), ecReadBeyondEnd);
  EXPECT_TRUE(bitmap.Empty());
  // A plain-form page whose data stops short of its DataLength.
  file = testing::ReadBytes(dir / "OK.APF");
  file[kApfFileHeaderSize + 4] = 0;  // no line records
  file.resize(file.size() - 20);
  testing::WriteBytes(dir / "PLAIN.APF", file);
  EXPECT_EQ(core.UnpackPage(dir / "PLAIN.APF", 1), ecFaxBadFormat);
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

// Random page data in both page forms decodes without harm: success or a file error.
TEST(Unpacker, RandomPageDataIsHarmless) {
  TempDir dir;
  std::mt19937 random(9);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> data(random() % 3000);
    for (auto& b : data) b = static_cast<uint8_t>(random() % 4 == 0 ? random() : 0x80 >> (random() % 8));
    std::vector<uint8_t> file(kApfFileHeaderSize + kApfPageHeaderSize, 0);
    ApfFileHeader header;
    header.PageCount = 1;
    header.Encode(file.data());
    ApfPageHeader page;
    page.DataLength = static_cast<uint32_t>(round % 5 == 0 ? data.size() * 3 : data.size());
    page.PageFlags = static_cast<uint16_t>(round % 2 ? PageLineRecords : 0);
    page.Encode(file.data() + kApfFileHeaderSize);
    file.insert(file.end(), data.begin(), data.end());
    testing::WriteBytes(dir / "R.APF", file);
    UnpackerCore core;
    core.SetWhitespace(3, 1);
    TMonoBitmap bitmap;
    const int rc = core.UnpackPageToBitmap(dir / "R.APF", 1, true, bitmap);
    EXPECT_TRUE(rc == 0 || rc == ecReadBeyondEnd || rc == ecFaxBadFormat) << rc;
    EXPECT_TRUE(rc >= 0 || bitmap.Empty());
  }
}

}  // namespace
}  // namespace ql
