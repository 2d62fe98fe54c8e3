// The APF file layout as written and read: exact bytes of records and headers, page
// location and the error codes of bad files.

#include "fax_document/apf/apf_file.h"

#include <gtest/gtest.h>

#include <memory>

#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/tests/test_pages.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<uint8_t>;

TEST(ApfRecords, BlankLinesAndEndOfPageHaveTheirExactBytes) {
  ConverterCore core;
  uint8_t raster[256] = {};
  unsigned n = core.CodeRasterLine(raster);
  EXPECT_EQ(Bytes(core.CodedLine(), core.CodedLine() + n), (Bytes{0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}));
  core.SetPageWidth(2048);
  n = core.CodeRasterLine(raster);
  EXPECT_EQ(Bytes(core.CodedLine(), core.CodedLine() + n), (Bytes{0x00, 0x80, 0x80, 0xCC, 0x0A, 0x00}));

  uint8_t record[16];
  EXPECT_EQ(core.TopMarginRecord(record), 5u);
  core.SetPageWidth(1728);
  EXPECT_EQ(core.TopMarginRecord(record), 4u);
  EXPECT_EQ(Bytes(record, record + 4), (Bytes{0x00, 0x28, 0x9B, 0x15}));

  uint8_t eop[12];
  ASSERT_EQ(ConverterCore::EndOfPageBlock(eop), 12u);
  EXPECT_EQ(Bytes(eop, eop + 12), (Bytes{0x00, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00}));
}

TEST(ApfWriterTest, OneBlankLineMakesThe102ByteFile) {
  TempDir dir;
  const TMonoBitmap blank(1728, 1);
  ConverterCore core(std::make_unique<BitmapSource>(&blank));
  core.SetStationId("ABC");
  ASSERT_EQ(core.ConvertToFile("x", dir / "ONE.APF"), 0);
  const Bytes file = ReadBytes(dir / "ONE.APF");
  ASSERT_EQ(file.size(), 102u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), (Bytes{'A', 'P', 'F', '1', '0', 0x1A}));
  EXPECT_EQ(file[10], 3);
  EXPECT_EQ(std::string(file.begin() + 11, file.begin() + 31), "ABC" + std::string(17, ' '));
  EXPECT_EQ(file[31], 0);
  EXPECT_EQ(file[32] | file[33] << 8, 1);                                  // PageCount
  EXPECT_EQ(file[34] | file[35] << 8 | file[36] << 16 | file[37] << 24, 64);  // FirstPageOffset
  EXPECT_EQ(Bytes(file.begin() + 38, file.begin() + 64), Bytes(26, 0));
  EXPECT_EQ(file[64] | file[65] << 8, 22);  // DataLength
  EXPECT_EQ(file[68] | file[69] << 8, PageLineRecords);
  EXPECT_EQ(Bytes(file.begin() + 80, file.begin() + 88), (Bytes{6, 0, 0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}));
  EXPECT_EQ(file[88], 12);
  EXPECT_NE(file[6] | file[7] << 8 | file[8] << 16 | file[9] << 24, 0);  // CreatedAt
}

TEST(ApfWriterTest, StationIdIsCutTo20Characters) {
  TempDir dir;
  ApfWriter writer;
  ASSERT_EQ(writer.Create(dir / "S.APF"), 0);
  ASSERT_EQ(writer.Close("ABCDEFGHIJKLMNOPQRSTUVWXY"), 0);
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(dir / "S.APF", header), 0);
  EXPECT_EQ(header.SenderStation, "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(ReadBytes(dir / "S.APF")[10], 20);
}

TEST(ApfWriterTest, LargeAndSmallWritesKeepTheirOrder) {
  TempDir dir;
  ApfWriter writer;
  ASSERT_EQ(writer.Create(dir / "B.APF"), 0);
  ASSERT_EQ(writer.BeginPage(true, true), 0);
  Bytes big(4096), small(100);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  for (size_t i = 0; i < small.size(); ++i) small[i] = static_cast<uint8_t>(i + 1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(writer.AppendLine(small.data(), small.size()), 0);
    ASSERT_EQ(writer.AppendLine(big.data(), big.size()), 0);
  }
  EXPECT_EQ(writer.AppendLine(big.data(), 0), ecBadArgument);
  ASSERT_EQ(writer.EndPage(), 0);
  ASSERT_EQ(writer.Close(""), 0);
  const auto records = testing::PageRecords(dir / "B.APF", 1);
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[0], small);
  EXPECT_EQ(records[5], big);
  ApfPageHeader page;
  ASSERT_EQ(ReadApfPageHeader(dir / "B.APF", 1, page), 0);
  EXPECT_EQ(page.DataLength, 3u * (102 + 4098) + 14);
  EXPECT_TRUE(page.HighRes());
  EXPECT_TRUE(page.Wide());
}

TEST(ApfReaderTest, LocatesEveryPageAndRejectsOthers) {
  TempDir dir;
  ApfWriter writer;
  ASSERT_EQ(writer.Create(dir / "P.APF"), 0);
  for (int p = 0; p < 3; ++p) {
    ASSERT_EQ(writer.BeginPage(p == 1, p == 2), 0);
    const Bytes line(static_cast<size_t>(p + 1), static_cast<uint8_t>(p));
    ASSERT_EQ(writer.AppendLine(line.data(), line.size()), 0);
    ASSERT_EQ(writer.EndPage(), 0);
  }
  ASSERT_EQ(writer.Close("X"), 0);
  ApfReader reader;
  ASSERT_EQ(reader.Open(dir / "P.APF"), 0);
  EXPECT_EQ(reader.PageCount(), 3);
  ApfPageHeader page;
  EXPECT_EQ(reader.LocatePage(0, page), ecFaxBadFormat);
  EXPECT_EQ(reader.LocatePage(4, page), ecFaxBadFormat);
  ASSERT_EQ(reader.LocatePage(3, page), 0);
  EXPECT_TRUE(page.Wide());
  EXPECT_FALSE(page.HighRes());
  uint8_t data[kApfMaxRecord];
  EXPECT_EQ(reader.ReadLineRecord(data), 3);
  EXPECT_EQ(data[0], 2);
  ASSERT_EQ(reader.LocatePage(2, page), 0);
  EXPECT_TRUE(page.HighRes());
}

TEST(ApfReaderTest, BadFilesGiveTheirCodes) {
  TempDir dir;
  ApfReader reader;
  EXPECT_EQ(reader.Open(""), ecFileNotFound);
  EXPECT_EQ(reader.Open(dir / "MISSING.APF"), ecFileNotFound);
  WriteBytes(dir / "SHORT.APF", {'A', 'P', 'F', '1', '0', 0x1A});
  EXPECT_EQ(reader.Open(dir / "SHORT.APF"), ecFaxBadFormat);
  Bytes header(64, 0);
  std::copy(kApfSignature, kApfSignature + 6, header.begin());
  header[5] = 0x1B;
  WriteBytes(dir / "SIG.APF", header);
  EXPECT_EQ(reader.Open(dir / "SIG.APF"), ecFaxBadFormat);

  // A page count that lies: the second page header lies beyond the end of the file.
  header[5] = 0x1A;
  header[32] = 2;
  header[34] = 64;
  Bytes page(16, 0);
  page[0] = 4;
  page[4] = PageLineRecords;
  header.insert(header.end(), page.begin(), page.end());
  header.insert(header.end(), {2, 0, 0xAA, 0xBB});
  WriteBytes(dir / "LIE.APF", header);
  ASSERT_EQ(reader.Open(dir / "LIE.APF"), 0);
  ApfPageHeader found;
  EXPECT_EQ(reader.LocatePage(1, found), 0);
  EXPECT_EQ(reader.LocatePage(2, found), ecReadBeyondEnd);
}

TEST(ApfReaderTest, OverlongRecordCountIsCutTo4096) {
  TempDir dir;
  Bytes file(64, 0);
  std::copy(kApfSignature, kApfSignature + 6, file.begin());
  file[32] = 1;
  file[34] = 64;
  Bytes page(16, 0);
  page[0] = 0x8A;  // 5002 + 2 bytes
  page[1] = 0x13;
  page[4] = PageLineRecords;
  file.insert(file.end(), page.begin(), page.end());
  file.push_back(0x88);  // count 5000
  file.push_back(0x13);
  for (int i = 0; i < 5000; ++i) file.push_back(static_cast<uint8_t>(i < 4096 ? 1 : 2));
  WriteBytes(dir / "BIG.APF", file);
  ApfReader reader;
  ASSERT_EQ(reader.Open(dir / "BIG.APF"), 0);
  ApfPageHeader header;
  ASSERT_EQ(reader.LocatePage(1, header), 0);
  uint8_t data[kApfMaxRecord];
  EXPECT_EQ(reader.ReadLineRecord(data), 4096);
  EXPECT_EQ(data[4095], 1);
  // The reader goes on with the bytes that follow as the next count (0x0202 = 514).
  EXPECT_EQ(reader.ReadLineRecord(data), 514);
  EXPECT_EQ(reader.ReadLineRecord(data), ecReadBeyondEnd);
}

TEST(ApfDates, PackedDosTimeRoundTrips) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 14;
  t.tm_min = 35;
  t.tm_sec = 58;
  t.tm_isdst = -1;
  const uint32_t packed = PackDosDateTime(std::mktime(&t));
  EXPECT_EQ(packed >> 25, 46u);
  const std::tm back = UnpackDosDateTime(packed);
  EXPECT_EQ(back.tm_year, t.tm_year);
  EXPECT_EQ(back.tm_mon, 11);
  EXPECT_EQ(back.tm_mday, 8);
  EXPECT_EQ(back.tm_hour, 14);
  EXPECT_EQ(back.tm_min, 35);
  EXPECT_EQ(back.tm_sec, 58);
  std::tm old{};
  old.tm_year = 79;
  old.tm_mday = 1;
  old.tm_isdst = -1;
  EXPECT_EQ(PackDosDateTime(std::mktime(&old)), 0u);
}

}  // namespace
}  // namespace ql
