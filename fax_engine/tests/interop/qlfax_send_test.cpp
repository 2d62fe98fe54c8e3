// qlfax send as a user runs it: a text letter converted with qlfax convert, sent to the
// virtual line's remote, the statuses printed, the session log and the history written.

#include "fax_engine/tests/interop/call_fixture.h"

namespace ql::testing {
namespace {

const std::string kQlfax = std::string(QL_BINARY_DIR) + "/bin/qlfax";

class QlfaxSend : public ::testing::Test {
 protected:
  void SetUp() override {
    line = std::make_unique<FaxLine>(dir / "vline", std::vector<std::string>{"ttyFAX0=100"},
                                     std::vector<std::string>{std::string("200:") + kRemoteId});
    WriteFile(dir / "letter.txt", "Dear reader,\n\nthis letter went out with qlfax send.\n\nRegards\n");
    const pid_t convert = Spawn({kQlfax, "--home", (dir / "home").string(), "convert", (dir / "letter.txt").string(),
                                 "-o", (dir / "letter.apf").string()},
                                dir / "convert.out");
    ASSERT_EQ(WaitForExit(convert, 30), 0) << ReadFile(dir / "convert.out");
  }
  int Send(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {kQlfax, "--home", (dir / "home").string(), "send", "200",
                                     (dir / "letter.apf").string(), "--device", line->Link("ttyFAX0").string(),
                                     "--station", "QLFAX USER", "--log", (dir / "session.log").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return WaitForExit(Spawn(args, dir / "send.out"), 240);
  }
  TempDir dir;
  std::unique_ptr<FaxLine> line;
};

TEST_F(QlfaxSend, SendsPrintsAndLogs) {
  EXPECT_EQ(Send({"--class", "1", "--bps", "14400", "--header", "$I Page $P of $N"}), 0) << ReadFile(dir / "send.out");
  const std::string out = ReadFile(dir / "send.out");
  for (const char* status : {"Initializing modem for fax processing", "Dialing", "Got called-station ID: ACME REMOTE",
                             "Sending page data (page 1 of 1)", "Page accepted by remote", "Fax sent"})
    EXPECT_NE(out.find(status), std::string::npos) << status << "\n" << out;
  EXPECT_NE(out.find("at 14400 bit/s"), std::string::npos) << out;
  const std::string log = ReadFile(dir / "session.log");
  EXPECT_NE(log.find("-> ATDT200"), std::string::npos);
  EXPECT_NE(log.find("<= DIS: V.17 14400, fine, 1728 pels, scan 0 ms"), std::string::npos) << log;
  EXPECT_NE(log.find("=> DCS: V.17 14400, normal, 1728 pels, scan 0 ms"), std::string::npos) << log;
  EXPECT_NE(log.find("header line: QLFAX USER Page 1 of 1"), std::string::npos) << log;
  const std::string history = ReadFile(dir / "home" / "FAXLOG.HIS");
  EXPECT_NE(history.find("Transmit to ACME REMOTE finished OK at "), std::string::npos) << history;
  const auto records = line->Records("200");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("remote_id"), "QLFAX USER");
}

TEST_F(QlfaxSend, ExitsWithOneWhenTheFaxIsNotSent) {
  ASSERT_EQ(line->Control("fault 200 busy").rfind("OK", 0), 0u);
  EXPECT_EQ(Send({"--attempts", "1"}), 1);
  const std::string out = ReadFile(dir / "send.out");
  EXPECT_NE(out.find("Not sent: Called fax number was busy (-8074)"), std::string::npos) << out;
  EXPECT_NE(ReadFile(dir / "home" / "FAXLOG.HIS").find("Transmit failed at "), std::string::npos);
  // Bad arguments are refused before the modem is touched.
  EXPECT_EQ(WaitForExit(Spawn({kQlfax, "send", "200"}, dir / "usage.out"), 10), 2);
  EXPECT_EQ(WaitForExit(Spawn({kQlfax, "send", "200", "x.apf", "--class", "3"}, dir / "usage.out"), 10), 2);
}

}  // namespace
}  // namespace ql::testing
