// A Class 1 program sending to an answering remote through a pty modem: a page the
// remote answers with RTN is sent again after fresh parameters and training, and the
// remote keeps every good page; a program that gives up leaves a failed session. Also
// how the remote reads the signalling rate in DCS.

#include <gtest/gtest.h>
#include <spandsp.h>

#include "tools/qlvmodem/page_corrupter.h"
#include "tools/qlvmodem/tests/class1_frames.h"
#include "tools/qlvmodem/tests/class1_session.h"
#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

// The page data with most rows spoilt, as a bad line would leave it.
std::string Spoilt(const std::string& page) {
  std::string stuffed = Stuffed(page) + kEndOfFrame;
  PageCorrupter corrupter;
  corrupter.Arm(true);
  corrupter.Process(reinterpret_cast<uint8_t*>(stuffed.data()), stuffed.size());
  return Unstuffed(stuffed.substr(0, stuffed.size() - kEndOfFrame.size()));
}

class ClassOneSender : public ::testing::Test {
 protected:
  ql::testing::TempDir dir_;
  RunningLine line_{{"--modem", "ttyFAX0=100", "--remote", "200", "--ring-period", "1"}, dir_.path()};
  DteLink dte_{dir_ / "ttyFAX0"};

  // A page and the remote's answer to the post-page command that follows it.
  int SendPage(const std::string& data, int command, int modulation = 96) {
    if (!SendData(dte_, data, modulation) || !SendFrames(dte_, {Frame({0xFF, 0x13, command})})) return -1;
    return NextFcf(dte_);
  }
  // New parameters and training after a rejected page; the remote's verdict.
  int Retrain() {
    if (!SendFrames(dte_, {IdFrame(0x43, false), Dcs(kRateV29At9600)})) return -1;
    return TrainAndHearVerdict(dte_);
  }
  void HangUp() {
    SendFrames(dte_, {Frame({0xFF, 0x13, kDcnCommand})});
    EXPECT_TRUE(dte_.Ok("ATH"));
  }
  // The remote's record of its one session, once the call is over.
  std::string Record() {
    EXPECT_TRUE(line_.WaitFor("received 200", "OK 1 sessions", 30)) << line_.Control("status");
    return line_.Control("received 200");
  }
  // The session succeeded and its TIFF holds exactly the pages of these files, row for row.
  void ExpectPagesKept(const std::vector<std::filesystem::path>& pages) {
    std::string record = Record();
    EXPECT_EQ(RecordField(record, "result"), "0") << record;
    EXPECT_EQ(RecordField(record, "pages"), std::to_string(pages.size()));
    EXPECT_EQ(RecordField(record, "bad_rows"), "0");
    auto received = PageRows(RecordField(record, "tiff"));
    ASSERT_EQ(received.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(received[i], PageRows(pages[i])[0]) << "page " << i + 1;
  }
};

TEST_F(ClassOneSender, LastPageRejectedThenSentAgainIsKeptWhole) {
  WriteTestTiff(dir_ / "page.tif", 60, 98);
  const std::string page = PageData(dir_ / "page.tif");
  ASSERT_EQ(line_.Control("fault 100 rtn"), "OK\n");  // the modem spoils the first page
  ASSERT_EQ(DialAndSendParameters(dte_), "");
  ASSERT_EQ(TrainAndHearVerdict(dte_), kCfr);
  ASSERT_EQ(SendPage(page, kEop), kRtn);
  ASSERT_EQ(Retrain(), kCfr);
  ASSERT_EQ(SendPage(page, kEop), kMcf);
  HangUp();
  ExpectPagesKept({dir_ / "page.tif"});
}

TEST_F(ClassOneSender, GivingUpAfterRtnLeavesAFailedSession) {
  WriteTestTiff(dir_ / "page.tif", 60, 98);
  ASSERT_EQ(DialAndSendParameters(dte_), "");
  ASSERT_EQ(TrainAndHearVerdict(dte_), kCfr);
  ASSERT_EQ(SendPage(Spoilt(PageData(dir_ / "page.tif")), kEop), kRtn);
  HangUp();

  std::string record = Record();
  EXPECT_EQ(RecordField(record, "result"), std::to_string(T30_ERR_RX_DCNNORTN)) << record;
  EXPECT_EQ(RecordField(record, "pages"), "0");
  EXPECT_EQ(RecordField(record, "tiff"), "");  // nothing was kept
}

TEST_F(ClassOneSender, EveryPageSurvivesRejectionsInTheMiddleAndAtTheEnd) {
  WriteTestTiff(dir_ / "first.tif", 60, 98);
  WriteTestTiff(dir_ / "second.tif", 40, 98);
  const std::string first = PageData(dir_ / "first.tif");
  const std::string second = PageData(dir_ / "second.tif");
  ASSERT_EQ(DialAndSendParameters(dte_), "");
  ASSERT_EQ(TrainAndHearVerdict(dte_), kCfr);
  ASSERT_EQ(SendPage(Spoilt(first), kMps), kRtn);
  ASSERT_EQ(Retrain(), kCfr);
  ASSERT_EQ(SendPage(first, kMps), kMcf);
  // The last page is rejected after a good one was already stored.
  ASSERT_EQ(SendPage(Spoilt(second), kEop), kRtn);
  ASSERT_EQ(Retrain(), kCfr);
  ASSERT_EQ(SendPage(second, kEop), kMcf);
  HangUp();
  ExpectPagesKept({dir_ / "first.tif", dir_ / "second.tif"});
}

TEST_F(ClassOneSender, PageRejectedAfterEomIsSentAgainBeforeTheNextDocument) {
  WriteTestTiff(dir_ / "first.tif", 60, 98);
  WriteTestTiff(dir_ / "second.tif", 40, 98);
  const std::string first = PageData(dir_ / "first.tif");
  ASSERT_EQ(DialAndSendParameters(dte_), "");
  ASSERT_EQ(TrainAndHearVerdict(dte_), kCfr);
  ASSERT_EQ(SendPage(Spoilt(first), kEom), kRtn);
  ASSERT_EQ(Retrain(), kCfr);
  ASSERT_EQ(SendPage(first, kEom), kMcf);
  // After EOM the remote opens phase B again with its capabilities.
  int fcf = NextFcf(dte_);
  if (fcf == 0x40) fcf = NextFcf(dte_);  // its ID first
  ASSERT_EQ(fcf, kDis);
  ASSERT_EQ(Retrain(), kCfr);
  ASSERT_EQ(SendPage(PageData(dir_ / "second.tif"), kEop), kMcf);
  HangUp();
  ExpectPagesKept({dir_ / "first.tif", dir_ / "second.tif"});
}

// DCS carries the rate in bits 11 to 14 (FIF byte 2, 0x3C): 12000 bit/s V.17 is 0x28.
TEST_F(ClassOneSender, TwelveThousandCodedAsInTheDcsTableIsAccepted) {
  WriteTestTiff(dir_ / "page.tif", 60, 98);
  ASSERT_EQ(DialAndSendParameters(dte_, Dcs(kRateV17At12000)), "");
  ASSERT_EQ(TrainAndHearVerdict(dte_, 121), kCfr);  // V.17 long training for the check
  ASSERT_EQ(SendPage(PageData(dir_ / "page.tif"), kEop, 122), kMcf);  // short training
  HangUp();
  std::string record = Record();
  EXPECT_EQ(RecordField(record, "result"), "0") << record;
  EXPECT_EQ(RecordField(record, "bit_rate"), "12000");
}

TEST_F(ClassOneSender, RateCodeOutsideTheTableLeavesTheRemoteSilent) {
  ASSERT_EQ(DialAndSendParameters(dte_, Dcs(0x10)), "");
  // The parameters are dropped unanswered: no CFR, no FTT, and no repeated DIS either,
  // well past the time a remote waits for a command.
  ASSERT_EQ(TrainAndHearVerdict(dte_), -1);
  dte_.Send("\r");  // ends the wait for a frame
  ASSERT_TRUE(dte_.Expect("OK\r\n", 5));
  HangUp();
  EXPECT_EQ(RecordField(Record(), "result"), std::to_string(T30_ERR_RX_DCNWHY));
}

}  // namespace
}  // namespace ql::vmodem::testing
