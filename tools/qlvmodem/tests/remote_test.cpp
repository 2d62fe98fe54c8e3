// Virtual remote fax machines: a fax from one remote to another through the exchange,
// and the spoiling of a page that makes a far machine reject it.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "tools/qlvmodem/page_corrupter.h"
#include "tools/qlvmodem/tests/class1_frames.h"
#include "tools/qlvmodem/tests/class1_session.h"
#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

class Remotes : public ::testing::Test {
 protected:
  ql::testing::TempDir dir_;
  RunningLine line_{{"--remote", "200:ANSWERING ONE", "--speed", "max", "--ring-period", "1"}, dir_.path()};
  std::filesystem::path page_ = dir_ / "page.tif";

  void SetUp() override { WriteTestTiff(page_); }
  // Sends the test page from a new calling remote to `number`; returns the caller's record.
  std::string SendAndWait(const std::string& number) {
    std::string answer = line_.Control("send " + number + " " + page_.string() + " SENDER 7");
    EXPECT_EQ(answer.rfind("OK caller ", 0), 0u) << answer;
    std::string caller = answer.substr(10, answer.find('\n') - 10);
    EXPECT_TRUE(line_.WaitFor("received " + caller, "OK 1 sessions", 60)) << line_.Control("status");
    return line_.Control("received " + caller);
  }
};

TEST_F(Remotes, FaxBetweenTwoRemotesIsKeptAsTiffWithARecord) {
  std::string sent = SendAndWait("200");
  EXPECT_EQ(RecordField(sent, "result"), "0") << sent;
  EXPECT_EQ(RecordField(sent, "pages"), "1");
  EXPECT_EQ(RecordField(sent, "remote_id"), "ANSWERING ONE");

  ASSERT_TRUE(line_.WaitFor("received 200", "OK 1 sessions", 10));
  std::string got = line_.Control("received 200");
  EXPECT_EQ(RecordField(got, "result"), "0") << got;
  EXPECT_EQ(RecordField(got, "pages"), "1");
  EXPECT_EQ(RecordField(got, "remote_id"), "SENDER 7");
  EXPECT_EQ(RecordField(got, "bit_rate"), "14400");
  EXPECT_EQ(RecordField(got, "resolution"), "204x196");
  std::string tiff = RecordField(got, "tiff");
  std::string stored = ql::testing::ReadFile(std::filesystem::path(tiff).replace_extension(".txt"));
  EXPECT_NE(stored.find("remote_id=SENDER 7\n"), std::string::npos) << stored;
  TIFF* in = TIFFOpen(tiff.c_str(), "r");
  ASSERT_NE(in, nullptr) << tiff;
  uint32_t width = 0, rows = 0;
  TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(in, TIFFTAG_IMAGELENGTH, &rows);
  TIFFClose(in);
  EXPECT_EQ(width, 1728u);
  EXPECT_EQ(rows, 60u);
  std::string log = ql::testing::ReadFile(dir_ / "calls.log");
  EXPECT_NE(log.find("fast carrier 14400 bit/s"), std::string::npos) << log;
}

TEST_F(Remotes, OrderedFaultsChangeTheSession) {
  // Each fault is used up by the next call to the number; the calls run one by one.
  line_.Control("fault 200 busy");
  EXPECT_EQ(RecordField(SendAndWait("200"), "result_text"), "dial failed: busy");

  line_.Control("fault 200 dcn");
  std::string refused = SendAndWait("200");
  EXPECT_NE(RecordField(refused, "result"), "0") << refused;
  EXPECT_EQ(RecordField(refused, "pages"), "0");

  line_.Control("fault 200 train 14400");
  std::string slower = SendAndWait("200");
  EXPECT_EQ(RecordField(slower, "result"), "0") << slower;
  EXPECT_EQ(RecordField(slower, "bit_rate"), "12000") << slower;

  line_.Control("fault 200 carrier");
  std::string cut = SendAndWait("200");
  EXPECT_NE(RecordField(cut, "result"), "0") << cut;
  std::string log = ql::testing::ReadFile(dir_ / "calls.log");
  EXPECT_NE(log.find("fault: carrier lost in the middle of the page"), std::string::npos) << log;
}

TEST(PageSpoiling, OnlyTheFirstPageAfterItsFirstRowsIsChanged) {
  ql::testing::TempDir dir;
  WriteTestTiff(dir / "page.tif", 60, 98);
  const std::string page = PageData(dir / "page.tif") + kEndOfFrame;
  PageCorrupter corrupter;
  corrupter.Arm(true);
  std::string training = std::string(1800, '\0') + kEndOfFrame;
  corrupter.Process(reinterpret_cast<uint8_t*>(training.data()), training.size());
  EXPECT_EQ(training, std::string(1800, '\0') + kEndOfFrame);
  ASSERT_TRUE(corrupter.Armed());
  std::string first = page;
  corrupter.Process(reinterpret_cast<uint8_t*>(first.data()), first.size());
  EXPECT_FALSE(corrupter.Armed());
  ASSERT_EQ(first.size(), page.size());
  EXPECT_EQ(first.substr(0, 12), page.substr(0, 12));  // the first rows stay intact
  size_t changed = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    if (first[i] == page[i]) continue;
    ++changed;
    EXPECT_EQ(static_cast<uint8_t>(page[i]) & ~static_cast<uint8_t>(first[i]), 0) << "only 0 bits become 1";
  }
  EXPECT_GE(changed, 50u);
  std::string second = page;
  corrupter.Process(reinterpret_cast<uint8_t*>(second.data()), second.size());
  EXPECT_EQ(second, page);
}

}  // namespace
}  // namespace ql::vmodem::testing
