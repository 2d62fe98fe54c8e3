// The converter core: layout decisions, halving, top margins, names, abort and failures,
// and the component's properties and events.

#include "fax_document/convert/converter_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "fax_document/convert/bitmap_source.h"
#include "fax_document/components/fax_converter.h"
#include "fax_document/apf/apf_append.h"
#include "fax_document/components/fax_normalise.h"
#include "fax_document/components/fax_unpacker.h"
#include "fax_document/reference/sample_rasters.h"
#include "fax_document/sources/text_source.h"
#include "fax_document/tests/test_pages.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using reference::Raster;
using testing::TempDir;

TEST(ConverterLayout, DoublingHalvingAndCentring) {
  ConverterCore core;
  core.SetOptions(coDoubleWidth | coHalfHeight | coCenterImage);
  core.DecideImageLayout(1700);
  EXPECT_FALSE(core.WidthDoubled);
  EXPECT_TRUE(core.HeightHalved);
  EXPECT_EQ(core.CenterBytes, 1u);  // 28 div 16
  core.DecideImageLayout(1714);
  EXPECT_EQ(core.CenterBytes, 0u);
  core.DecideImageLayout(800);  // 1728 - 50 >= 1600: doubled, so not halved
  EXPECT_TRUE(core.WidthDoubled);
  EXPECT_FALSE(core.HeightHalved);
  EXPECT_EQ(core.CenterBytes, (1728u - 1600) / 32);
  core.SetHighRes(true);
  core.DecideImageLayout(800);
  EXPECT_FALSE(core.WidthDoubled);
  EXPECT_FALSE(core.HeightHalved);
  EXPECT_EQ(core.CenterBytes, (1728u - 800) / 16);
}

TEST(ConverterCoreTest, HalvingKeepsOddLinesAndTopMarginComesFirst) {
  TempDir dir;
  Raster rows = reference::BlankPage(1728, 6);
  for (int y = 0; y < 6; ++y) rows[y][y] = 0xFF;  // a mark that tells the rows apart
  const TMonoBitmap bitmap = testing::BitmapOf(rows, 1728);
  ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
  core.SetOptions(coHalfHeight);
  core.SetMargins(0, 3);
  ASSERT_EQ(core.ConvertToFile("x", dir / "H.APF"), 0);
  const auto records = testing::PageRecords(dir / "H.APF", 1);
  ASSERT_EQ(records.size(), 3u + 3u + 1u);
  EXPECT_EQ(records[0].size(), 4u);  // top margin records
  UnpackerCore unpacker;
  unpacker.UnpackFlags = 0;
  TMonoBitmap decoded;
  ASSERT_EQ(unpacker.UnpackPageToBitmap(dir / "H.APF", 1, false, decoded), 0);
  ASSERT_EQ(decoded.Height(), 6);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(decoded.Row(y)[0], 0);
  EXPECT_EQ(decoded.Row(3)[0], 0xFF);  // source line 1
  EXPECT_EQ(decoded.Row(4)[2], 0xFF);  // source line 3
  EXPECT_EQ(decoded.Row(5)[4], 0xFF);  // source line 5
}

TEST(ConverterCoreTest, OutputAndInputNames) {
  EXPECT_EQ(ConverterCore::ResolveOutputName("/fax/A.TXT", ""), "/fax/A.APF");
  EXPECT_EQ(ConverterCore::ResolveOutputName("/fax/A.TXT", "/out/OUT"), "/out/OUT.APF");
  EXPECT_EQ(ConverterCore::ResolveOutputName("/fax/A.TXT", "/out/OUT.X"), "/out/OUT.X");
  EXPECT_EQ(ConverterCore::ResolveInputName("/fax/A", "TXT"), "/fax/A.TXT");
  EXPECT_EQ(ConverterCore::ResolveInputName("/fax/A.DOC", "TXT"), "/fax/A.DOC");
}

TEST(ConverterCoreTest, AbortAndFailuresLeaveNoFile) {
  TempDir dir;
  const TMonoBitmap bitmap(100, 50);
  for (const int abortAt : {kStatusStarting, kStatusLine, kStatusEnding}) {
    ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
    core.SetStatus([abortAt](ConverterCore&, int kind, long, long) { return kind == abortAt; });
    EXPECT_EQ(core.ConvertToFile("x", dir / "A.APF"), ecConvertAbort);
    EXPECT_FALSE(std::filesystem::exists(dir / "A.APF"));
  }
  ConverterCore none(std::make_unique<BitmapSource>(nullptr));
  EXPECT_EQ(none.ConvertToFile("x", dir / "N.APF"), ecBadArgument);
  EXPECT_FALSE(std::filesystem::exists(dir / "N.APF"));
  // The output may not be the input itself.
  testing::WriteBytes(dir / "SELF.TXT", {'x'});
  ConverterCore self(std::make_unique<TextSource>());
  EXPECT_EQ(self.ConvertToFile(dir / "SELF.TXT", dir / "SELF.TXT"), ecBadArgument);
  EXPECT_EQ(testing::ReadBytes(dir / "SELF.TXT"), std::vector<uint8_t>{'x'});
  // A folder that does not exist cannot take the file.
  ConverterCore core(std::make_unique<BitmapSource>(&bitmap));
  EXPECT_EQ(core.ConvertToFile("x", dir / "no" / "A.APF"), ecFileNotFound);
}

TEST(ConverterCoreTest, PageWithoutLinesStillGetsItsHeader) {
  TempDir dir;
  const TMonoBitmap empty(100, 0);
  ConverterCore core(std::make_unique<BitmapSource>(&empty));
  ASSERT_EQ(core.ConvertToFile("x", dir / "E.APF"), 0);
  ApfPageHeader page;
  ASSERT_EQ(ReadApfPageHeader(dir / "E.APF", 1, page), 0);
  EXPECT_EQ(page.DataLength, 14u);
  EXPECT_EQ(testing::ReadBytes(dir / "E.APF").size(), 64u + 16 + 14);
}

TEST(FaxConverterComponent, PropertiesEventsAndErrors) {
  TempDir dir;
  TFaxConverter converter;
  EXPECT_EQ(converter.Options(), coDoubleWidth | coCenterImage | coYield);
  EXPECT_EQ(converter.LeftMargin(), 50u);
  EXPECT_EQ(converter.LinesPerPage(), 60u);
  EXPECT_EQ(converter.FontFile(), "FAX.FNT");
  converter.SetOptions(coYieldOften);
  EXPECT_EQ(converter.Options(), coYieldOften | coYield);
  converter.SetDocumentFile((dir / "LETTER.TXT").string());
  EXPECT_EQ(converter.OutFileName(), (dir / "LETTER.APF").string());
  converter.BeginLoading();
  converter.SetDocumentFile((dir / "OTHER.TXT").string());
  converter.EndLoading();
  EXPECT_EQ(converter.OutFileName(), (dir / "LETTER.APF").string());

  testing::WriteBytes(dir / "OTHER.TXT", {'h', 'i', '\n'});
  converter.SetInputDocumentType(idText);
  int starts = 0, ends = 0, lines = 0;
  converter.OnStatus = [&](TFaxConverter&, bool starting, bool ending, unsigned, unsigned, long, long, bool&) {
    starts += starting;
    ends += ending;
    lines += !starting && !ending;
  };
  converter.ConvertToFile();
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(lines, 17);  // 16 raster lines and the end of the page
  EXPECT_TRUE(std::filesystem::exists(dir / "LETTER.APF"));

  converter.OnStatus = [](TFaxConverter&, bool, bool, unsigned, unsigned, long, long, bool& abort) { abort = true; };
  EXPECT_THROW(converter.ConvertToFile(), EConvertAbort);
  converter.OnStatus = nullptr;

  converter.SetInputDocumentType(idTiff);
  converter.SetDocumentFile((dir / "OTHER.TXT").string());
  EXPECT_THROW(converter.ConvertToFile(), EBadGraphicsFormat);
  EXPECT_FALSE(std::filesystem::exists(dir / "OTHER.APF"));
  EXPECT_THROW(converter.ConvertBitmapToApf(nullptr), EBadArgument);
  EXPECT_EQ(converter.InputDocumentType(), idTiff);

  const TMonoBitmap bitmap(200, 30);
  converter.SetOutFileName((dir / "BITMAP.APF").string());
  converter.ConvertBitmapToApf(&bitmap);
  EXPECT_EQ(converter.InputDocumentType(), idTiff);
  TFaxUnpacker unpacker;
  unpacker.SetInFileName((dir / "BITMAP.APF").string());
  EXPECT_EQ(unpacker.PageCountOf(), 1u);
}

TEST(FaxConverterComponent, UserSourceDeliversLines) {
  TempDir dir;
  TFaxConverter converter;
  converter.SetInputDocumentType(idUser);
  converter.SetDefUserExtension("USR");
  converter.SetDocumentFile((dir / "DOC").string());
  std::string opened;
  bool closed = false;
  int delivered = 0;
  converter.OnOpenUserFile = [&](TFaxConverter&, const std::string& name) { opened = name; };
  converter.OnCloseUserFile = [&](TFaxConverter&) { closed = true; };
  converter.OnReadUserLine = [&](TFaxConverter&, uint8_t* data, unsigned& length, bool& endOfPage, bool& more) {
    // Two pages of five black lines each.
    const int page = delivered / 6, line = delivered % 6;
    ++delivered;
    endOfPage = line == 5;
    more = endOfPage && page == 0;
    if (!endOfPage) {
      data[0] = 0xFF;
      length = 216;
    }
  };
  converter.ConvertToFile();
  EXPECT_EQ(opened, (dir / "DOC.USR").string());
  EXPECT_TRUE(closed);
  TFaxUnpacker unpacker;
  unpacker.SetInFileName((dir / "DOC.APF").string());
  EXPECT_EQ(unpacker.OutFileName(), (dir / "DOC").string());
  ASSERT_EQ(unpacker.PageCountOf(), 2u);
  EXPECT_FALSE(unpacker.PageIsHighRes(2));
  EXPECT_FALSE(unpacker.PageIsWide(2));
  EXPECT_THROW(unpacker.PageIsWide(3), EFaxBadFormat);
  auto bitmap = unpacker.PageToBitmap(2);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Height(), 10);  // doubled height of a standard page
  EXPECT_TRUE(bitmap->IsBlack(50, 0));
  EXPECT_FALSE(bitmap->IsBlack(49, 0));  // the left margin of 50

  // Abort from the line event: the rows decoded so far still make the result.
  int seen = 0;
  unpacker.OnOutputLine = [&](TFaxUnpacker& sender, bool starting, bool ending, const uint8_t*, unsigned, unsigned) {
    if (!starting && !ending && ++seen == 2) sender.SetOptions(uoAbort);
  };
  unpacker.UnpackPage(1);
  EXPECT_EQ(seen, 2);
  unpacker.SetWhitespaceCompression(true);
  unpacker.SetWhitespaceFrom(2);
  unpacker.SetWhitespaceTo(3);
  EXPECT_THROW(unpacker.PageToBitmap(1), EBadArgument);
}

TEST(FaxFileOps, AppendAndNormalise) {
  TempDir dir;
  const TMonoBitmap cover(300, 40);
  TFaxConverter converter;
  converter.SetOutFileName((dir / "COVER.APF").string());
  converter.ConvertBitmapToApf(&cover);
  testing::WriteBytes(dir / "BODY.TXT", {'a', '\f', 'b', '\f', 'c'});
  converter.SetInputDocumentType(idText);
  converter.SetDocumentFile((dir / "BODY.TXT").string());
  converter.ConvertToFile();

  EXPECT_EQ(AppendApf(dir / "COVER.APF", dir / "MISSING.APF"), ecFileNotFound);
  EXPECT_EQ(AppendApf(dir / "COVER.APF", dir / "BODY.TXT"), ecFaxBadFormat);
  ASSERT_EQ(AppendApf(dir / "COVER.APF", dir / "BODY.APF"), 0);
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(dir / "COVER.APF", header), 0);
  EXPECT_EQ(header.PageCount, 4);
  ApfPageHeader page4;
  EXPECT_EQ(ReadApfPageHeader(dir / "COVER.APF", 4, page4), 0);
  EXPECT_EQ(testing::PageRecords(dir / "COVER.APF", 4), testing::PageRecords(dir / "BODY.APF", 3));

  // Normalising: every page at high resolution, at least 1664 pixels wide, the text kept.
  EXPECT_EQ(NormaliseFax(dir / "NONE.APF", dir / "N.APF", dir.path()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "N.APF"));
  ASSERT_EQ(NormaliseFax(dir / "COVER.APF", dir / "N.APF", dir.path()), 0);
  for (const char* temp : {"TEMP1.apf", "TEMP2.apf", "TEMP3.apf", "TEMP4.apf"})
    EXPECT_FALSE(std::filesystem::exists(dir / temp));
  TFaxUnpacker unpacker;
  unpacker.SetInFileName((dir / "N.APF").string());
  ASSERT_EQ(unpacker.PageCountOf(), 4u);
  TFaxUnpacker original;
  original.SetInFileName((dir / "COVER.APF").string());
  for (unsigned p = 1; p <= 4; ++p) {
    EXPECT_TRUE(unpacker.PageIsHighRes(p));
    auto before = original.PageToBitmap(p);
    auto after = unpacker.PageToBitmap(p);
    ASSERT_TRUE(before && after);
    EXPECT_GE(after->Width(), 1664);
    EXPECT_EQ(after->Height(), before->Height());
    for (int y = 0; y < before->Height(); ++y)
      for (int x = 0; x < before->Width(); ++x)
        ASSERT_EQ(before->IsBlack(x, y), after->IsBlack(x, y)) << "page " << p << " x " << x << " y " << y;
    EXPECT_TRUE(after->IsBlack(1663, 0));
  }
  EXPECT_EQ(NormalisedPageWidth(100, 2296), 1664);
  EXPECT_EQ(NormalisedPageWidth(100, 2200), 1600);
  EXPECT_EQ(NormalisedPageWidth(100, 2160), 1664);
  EXPECT_EQ(NormalisedPageWidth(1700, 2200), 1700);
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

// Joining in one pass gives the same file as appending the parts one after another, and a
// bad part leaves the target as it was.
TEST(FaxFileOps, JoiningManyEqualsAppendingOneByOne) {
  TempDir dir;
  TFaxConverter converter;
  converter.SetInputDocumentType(idText);
  const char* texts[] = {"one\fone b", "two", "three\fthree b\fthree c"};
  std::vector<std::filesystem::path> parts;
  for (int i = 0; i < 3; ++i) {
    const auto text = dir / ("P" + std::to_string(i) + ".TXT");
    testing::WriteBytes(text, std::vector<uint8_t>(texts[i], texts[i] + std::strlen(texts[i])));
    converter.SetDocumentFile(text.string());
    converter.SetOutFileName((dir / ("P" + std::to_string(i) + ".APF")).string());
    converter.ConvertToFile();
    parts.push_back(dir / ("P" + std::to_string(i) + ".APF"));
  }
  std::filesystem::copy_file(parts[0], dir / "STEPS.APF");
  ASSERT_EQ(AppendApf(dir / "STEPS.APF", parts[1]), 0);
  ASSERT_EQ(AppendApf(dir / "STEPS.APF", parts[2]), 0);
  ASSERT_EQ(JoinApf(parts, dir / "JOINED.APF"), 0);
  EXPECT_EQ(testing::ReadBytes(dir / "JOINED.APF"), testing::ReadBytes(dir / "STEPS.APF"));
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(dir / "JOINED.APF", header), 0);
  EXPECT_EQ(header.PageCount, 6);

  const auto before = testing::ReadBytes(dir / "JOINED.APF");
  testing::WriteBytes(dir / "BAD.APF", {'n', 'o'});
  EXPECT_EQ(JoinApf({parts[0], dir / "BAD.APF"}, dir / "JOINED.APF"), ecFaxBadFormat);
  EXPECT_EQ(JoinApf({parts[0], dir / "GONE.APF"}, dir / "JOINED.APF"), ecFileNotFound);
  EXPECT_EQ(testing::ReadBytes(dir / "JOINED.APF"), before);
}

}  // namespace
}  // namespace ql
