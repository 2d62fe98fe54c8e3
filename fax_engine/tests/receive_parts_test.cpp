// The parts of receiving: the file written page by page (its header counts complete
// pages only, a page cut back leaves nothing, a full disk is -160), the page data taker
// (DLE pairs, the end, bit order), the row check that decides RTN, and the receive
// component's defaults and names.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "fax_document/apf/apf_file.h"
#include "fax_document/reference/libtiff_codec.h"
#include "fax_engine/components/receive_fax.h"
#include "fax_engine/receive/page_data_taker.h"
#include "fax_engine/receive/received_file.h"
#include "fax_engine/receive/row_check.h"
#include "platform/message_windows/message_window.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

std::string Taken(PageDataTaker& taker, const std::string& stream, size_t* endAt = nullptr) {
  std::string out;
  for (size_t i = 0; i < stream.size(); ++i) {
    if (taker.Take(static_cast<uint8_t>(stream[i]), [&](uint8_t b) { out += static_cast<char>(b); })) {
      if (endAt != nullptr) *endAt = i + 1;
      return out;
    }
  }
  return out;
}

TEST(PageDataTaker, UndoesTheStuffingAndStopsRightAfterTheEnd) {
  PageDataTaker taker;
  taker.Start(false);
  size_t end = 0;
  // DLE DLE is one 0x10, DLE SUB two, other pairs carry nothing; the modem's result after
  // DLE ETX stays unread.
  const std::string stream = std::string("\x01\x10\x10\x02\x10\x1A\x10\x2C\x03\x10\x03") + "\r\nOK\r\n";
  EXPECT_EQ(Taken(taker, stream, &end), std::string("\x01\x10\x02\x10\x10\x03", 6));
  EXPECT_EQ(end, 11u);
  // A DLE at the end of one piece pairs with the next byte.
  taker.Start(false);
  EXPECT_EQ(Taken(taker, "\x05\x10"), "\x05");
  EXPECT_TRUE(taker.PendingDle());
  EXPECT_EQ(Taken(taker, "\x10\x06"), std::string("\x10\x06", 2));
}

TEST(PageDataTaker, TurnsClass2BitOrderRoundOnce) {
  PageDataTaker taker;
  taker.Start(true);
  // 0x08 reversed is 0x10: a stuffed DLE must be recognised before the reversal.
  EXPECT_EQ(Taken(taker, std::string("\x01\x80\x10\x10\x08\x10\x03", 7)), std::string("\x80\x01\x08\x10", 4));
  EXPECT_EQ(kReversedBits[0x12], 0x48);
}

reference::Raster Bars(int rows) {
  reference::Raster page(static_cast<size_t>(rows), std::vector<uint8_t>(216));
  for (int y = 0; y < rows; ++y) page[static_cast<size_t>(y)][static_cast<size_t>(y % 200)] = 0x3C;
  return page;
}

int Broken(const std::vector<uint8_t>& t4, RowCheck& check, int width = 1728) {
  check.Start(width);
  for (uint8_t b : t4) check.Feed(b);
  return check.BrokenRows();
}

TEST(RowCheck, CountsRowsAndBrokenRowsOfAPageAsMachinesJudgeIt) {
  std::vector<uint8_t> t4;
  ASSERT_TRUE(reference::EncodeG3(Bars(50), 1728, t4));
  // The return to control: six ends of line.
  for (int i = 0; i < 3; ++i) t4.insert(t4.end(), {0x00, 0x08, 0x80});
  RowCheck check;
  EXPECT_EQ(Broken(t4, check), 0);
  EXPECT_EQ(check.Rows(), 50);
  EXPECT_TRUE(check.Ended());
  EXPECT_TRUE(check.PageIsGood());
  // The same rows judged against the wide page's width are all broken.
  EXPECT_EQ(Broken(t4, check, 2048), 50);
  EXPECT_FALSE(check.PageIsGood());
  // Spoil bytes inside rows: a tenth broken is still good, more is not.
  auto spoilt = t4;
  size_t spoilts = 0;
  for (size_t i = 20; i + 20 < spoilt.size() && spoilts < 3; i += spoilt.size() / 4, ++spoilts) spoilt[i] ^= 0xFF;
  Broken(spoilt, check);
  EXPECT_GE(check.BrokenRows(), 1);
  EXPECT_LE(check.BrokenRows(), 3) << "only the spoilt rows count";
  EXPECT_TRUE(check.PageIsGood());
  for (size_t i = 20; i + 20 < spoilt.size(); i += 7) spoilt[i] = 0xFF;
  Broken(spoilt, check);
  EXPECT_FALSE(check.PageIsGood());
  // Nothing but fill is no page.
  Broken(std::vector<uint8_t>(100, 0), check);
  EXPECT_FALSE(check.PageIsGood());
}

ApfFileHeader HeaderOf(const std::filesystem::path& file) {
  ApfFileHeader h;
  ReadApfFileHeader(file, h);
  return h;
}

TEST(ReceivedFile, CountsOnlyCompletePagesAndCutsABadPageBack) {
  TempDir dir;
  const auto path = dir / "FAX0001.APF";
  ReceivedFile file;
  ASSERT_EQ(file.Create(path, "FAR ID"), 0);
  EXPECT_EQ(HeaderOf(path).PageCount, 0);
  EXPECT_EQ(HeaderOf(path).SenderStation, "FAR ID");
  ASSERT_EQ(file.BeginPage(true, false), 0);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(file.Append(static_cast<uint8_t>(i)), 0);
  // While the page comes in, the header still counts none.
  EXPECT_EQ(HeaderOf(path).PageCount, 0);
  ASSERT_EQ(file.EndPage("FAR ID"), 0);
  EXPECT_EQ(HeaderOf(path).PageCount, 1);
  const auto oneComplete = std::filesystem::file_size(path);
  EXPECT_EQ(oneComplete, 64u + 16u + 5000u);
  // A bad page goes in and is cut back: the file is as before.
  ASSERT_EQ(file.BeginPage(false, true), 0);
  for (int i = 0; i < 6000; ++i) file.Append(0x55);
  ASSERT_EQ(file.CutBackPage(), 0);
  EXPECT_EQ(std::filesystem::file_size(path), oneComplete);
  ASSERT_EQ(file.BeginPage(false, true), 0);
  for (int i = 0; i < 10; ++i) file.Append(0xAA);
  ASSERT_EQ(file.EndPage("FAR ID"), 0);
  // A page still open when the file closes is not kept.
  ASSERT_EQ(file.BeginPage(false, false), 0);
  file.Append(1);
  ASSERT_EQ(file.Close(), 0);
  ApfReader reader;
  ASSERT_EQ(reader.Open(path), 0);
  EXPECT_EQ(reader.PageCount(), 2);
  ApfPageHeader page;
  ASSERT_EQ(reader.LocatePage(1, page), 0);
  EXPECT_EQ(page.DataLength, 5000u);
  EXPECT_TRUE(page.HighRes());
  EXPECT_FALSE(page.LineRecords());
  ASSERT_EQ(reader.LocatePage(2, page), 0);
  EXPECT_EQ(page.DataLength, 10u);
  EXPECT_TRUE(page.Wide());
  EXPECT_EQ(std::filesystem::file_size(path), oneComplete + 16u + 10u);
}

TEST(ReceivedFile, AWriteThatCannotGoThroughIs160AndKeepsTheCompletePages) {
  TempDir dir;
  const auto path = dir / "FAX0001.APF";
  // Files may not grow past 20000 bytes for a while, as on a full disk; the signal that
  // would end the program at the limit is ignored, so the writes fail instead.
  rlimit before{};
  ::getrlimit(RLIMIT_FSIZE, &before);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  int pageEnd = 0, rc = 0;
  {
    ReceivedFile file;
    ASSERT_EQ(file.Create(path, "ID"), 0);
    ASSERT_EQ(file.BeginPage(false, false), 0);
    const rlimit limit{20000, before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    for (int i = 0; i < 8000; ++i) file.Append(1);
    pageEnd = file.EndPage("ID");
    file.BeginPage(false, false);
    for (int i = 0; i < 30000 && rc == 0; ++i) rc = file.Append(2);
    file.Close();
    ::setrlimit(RLIMIT_FSIZE, &before);
  }
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(pageEnd, 0);
  EXPECT_EQ(rc, ecDeviceWriteError);
  EXPECT_EQ(HeaderOf(path).PageCount, 1);
  EXPECT_EQ(std::filesystem::file_size(path), 64u + 16u + 8000u);
}

TEST(ReceivedFile, AFileThatCannotBeMadeGivesItsError) {
  ReceivedFile file;
  EXPECT_EQ(file.Create("/nonexistent-folder/FAX0001.APF", "ID"), ecFileNotFound);
  EXPECT_FALSE(file.IsOpen());
}

TEST(TReceiveFax, HasTheDefaultsAndNamesFilesWithoutAHandler) {
  InstallHeadlessMessagePump();
  TempDir dir;
  TReceiveFax fax;
  EXPECT_EQ(fax.Kind(), TFaxComponentKind::fkReceive);
  EXPECT_EQ(fax.AnswerOnRing(), 1);
  EXPECT_FALSE(fax.FaxAndData());
  EXPECT_FALSE(fax.OneFax());
  EXPECT_FALSE(fax.ConstantStatus());
  EXPECT_EQ(fax.DestinationDir(), "");
  EXPECT_EQ(fax.FileNaming, 1);
  EXPECT_EQ(fax.TotalPages(), 0);
  EXPECT_EQ(fax.PageLength(), 0);
  EXPECT_EQ(fax.DesiredBPS(), 9600);
  EXPECT_EQ(fax.FaxClass(), fcDetect);
  EXPECT_THROW(fax.StartReceive(), EPortNotAssigned);
}

}  // namespace
}  // namespace ql
