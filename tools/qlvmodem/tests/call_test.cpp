// Two virtual modems calling each other through the exchange, driven at the AT level
// the way a Class 1 fax program drives them.

#include <gtest/gtest.h>

#include <algorithm>

#include "tools/qlvmodem/tests/class1_frames.h"
#include "tools/qlvmodem/tests/class1_session.h"
#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

class TwoModems : public TwoModemLine {
 protected:
  void SetUp() override { Prepare(""); }
};

TEST_F(TwoModems, CallAnswerFramesDataAndHangUp) {
  caller_.Command("ATDT101");
  ASSERT_TRUE(callee_.Expect("RING\r\n", 10)) << callee_.Last();
  callee_.Command("ATA");
  // Answering in Class 1 sends CED, then V.21 flags: the program sends the first frame.
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 15)) << callee_.Last();
  const std::string dis = Frame({0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00});
  callee_.Send(dis + kEndOfFrame);
  ASSERT_TRUE(callee_.Expect("OK\r\n", 10));
  // The caller hears the flags and gets the frame with its check bytes and a good CRC.
  ASSERT_TRUE(caller_.Expect("CONNECT\r\n", 15)) << caller_.Last();
  ASSERT_TRUE(caller_.Expect(kEndOfFrame + "\r\nOK\r\n", 10)) << caller_.Last();
  EXPECT_EQ(caller_.Last().substr(0, dis.size()), dis);

  // The caller answers with a frame of its own, sent with +FTH, read with +FRH.
  callee_.Command("AT+FRH=3");
  caller_.Command("AT+FTH=3");
  ASSERT_TRUE(caller_.Expect("CONNECT\r\n", 10));
  const std::string dcs = Frame({0xFF, 0x13, 0x83, 0x00, 0x06, 0xF8, 0x00});
  caller_.Send(dcs + kEndOfFrame);
  ASSERT_TRUE(caller_.Expect("OK\r\n", 10));
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 10)) << callee_.Last();
  ASSERT_TRUE(callee_.Expect(kEndOfFrame + "\r\nOK\r\n", 10)) << callee_.Last();
  EXPECT_EQ(callee_.Last().substr(0, dcs.size()), dcs);

  // Page data at 9600 bit/s (V.29): sent with +FTM, received with +FRM.
  callee_.Command("AT+FRM=96");
  caller_.Command("AT+FTM=96");
  ASSERT_TRUE(caller_.Expect("CONNECT\r\n", 10));
  std::string payload;
  for (int i = 0; i < 1500; ++i) payload += static_cast<char>((i * 37 + 11) & 0xFF);
  caller_.Send(Stuffed(payload) + kEndOfFrame);
  ASSERT_TRUE(caller_.Expect("OK\r\n", 15)) << caller_.Last();
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 10)) << callee_.Last();
  ASSERT_TRUE(callee_.Expect(kEndOfFrame, 10));
  EXPECT_NE(Unstuffed(callee_.Last()).find(payload), std::string::npos);

  // The caller hangs up; the callee's program learns of it at its next wait.
  callee_.Command("AT+FRH=3");
  ASSERT_TRUE(caller_.Ok("ATH0"));
  EXPECT_TRUE(callee_.Expect("NO CARRIER\r\n", 10)) << callee_.Last();
  ASSERT_TRUE(line_.WaitFor("status", "OK calls 1 active 0", 10));
  callee_.Command("AT+FRH=3");  // on hook now: nothing to listen to
  EXPECT_TRUE(callee_.Expect("ERROR\r\n", 5)) << callee_.Last();
  EXPECT_EQ(callee_.Last().find("CONNECT"), std::string::npos);
  std::string log = ql::testing::ReadFile(dir_ / "calls.log");
  EXPECT_NE(log.find("modem ttyFAX0 (100) dialled 101"), std::string::npos) << log;
  EXPECT_NE(log.find("fast carrier 9600 bit/s from modem ttyFAX0"), std::string::npos) << log;
  EXPECT_NE(log.find("ended: hung up by modem ttyFAX0"), std::string::npos) << log;
}

// --trace-dir: each call of each modem in a file of its own, with what the program
// said before it, every command, response, frame and carrier.
TEST(CallTraces, EachCallOfAModemHasItsOwnFile) {
  ql::testing::TempDir dir;
  RunningLine line({"--modem", "ttyFAX0=100", "--modem", "ttyFAX1=101", "--ring-period", "1", "--trace-dir",
                    (dir / "traces").string()},
                   dir.path());
  DteLink caller(dir / "ttyFAX0");
  DteLink callee(dir / "ttyFAX1");
  ASSERT_TRUE(caller.Ok("ATE0+FCLASS=1"));
  ASSERT_TRUE(callee.Ok("ATE0S0=1"));
  ASSERT_TRUE(callee.Ok("AT+FCLASS=1"));
  for (int call = 0; call < 2; ++call) {
    caller.Command("ATD101");
    ASSERT_TRUE(callee.Expect("CONNECT\r\n", 15)) << callee.Last();
    callee.Send(Frame({0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00}) + kEndOfFrame);
    ASSERT_TRUE(callee.Expect("OK\r\n", 10));
    ASSERT_TRUE(caller.Expect(kEndOfFrame + "\r\nOK\r\n", 15)) << caller.Last();
    ASSERT_TRUE(caller.Ok("ATH0"));
    ASSERT_TRUE(line.WaitFor("status", "OK calls " + std::to_string(call + 1) + " active 0", 10));
    if (call == 0) {
      ASSERT_TRUE(caller.Ok("ATS7=45"));  // said between the calls
    }
  }
  std::vector<std::string> callerTraces, calleeTraces;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "traces")) {
    const std::string name = entry.path().filename().string();
    (name.rfind("ttyFAX0-", 0) == 0 ? callerTraces : calleeTraces).push_back(ql::testing::ReadFile(entry.path()));
  }
  ASSERT_EQ(callerTraces.size(), 2u);
  ASSERT_EQ(calleeTraces.size(), 2u);
  std::sort(callerTraces.begin(), callerTraces.end(),
            [](const std::string& a, const std::string& b) { return a.find("ATS7=45") > b.find("ATS7=45"); });
  for (const std::string& trace : callerTraces) {
    EXPECT_NE(trace.find("modem ttyFAX0: dialling 101"), std::string::npos) << trace;
    EXPECT_NE(trace.find("command  ATD101"), std::string::npos) << trace;
    EXPECT_NE(trace.find("response CONNECT"), std::string::npos) << trace;
    EXPECT_NE(trace.find("frame <  DIS FF 13 80 00 4E F9 00"), std::string::npos) << trace;
    EXPECT_NE(trace.find("command  ATH0"), std::string::npos) << trace;
  }
  // The second call's file begins with what the program said after the first.
  EXPECT_EQ(callerTraces[0].find("ATS7=45"), std::string::npos) << callerTraces[0];
  EXPECT_NE(callerTraces[1].find("before  command  ATS7=45"), std::string::npos) << callerTraces[1];
  for (const std::string& trace : calleeTraces) {
    EXPECT_NE(trace.find("incoming call from 100"), std::string::npos) << trace;
    EXPECT_NE(trace.find("frame >  DIS FF 13 80 00 4E F9 00"), std::string::npos) << trace;
  }
}

TEST_F(TwoModems, AutoAnswerAfterTheSetNumberOfRings) {
  ASSERT_TRUE(callee_.Ok("ATS0=2"));
  caller_.Command("ATD101");
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 20)) << callee_.Last();
  const std::string& seen = callee_.Last();
  size_t rings = 0;
  for (size_t at = seen.find("RING"); at != std::string::npos; at = seen.find("RING", at + 1)) ++rings;
  EXPECT_EQ(rings, 2u) << seen;
}

TEST_F(TwoModems, BusyWhileTheCalledModemIsOffHook) {
  ASSERT_TRUE(callee_.Ok("ATH1"));
  caller_.Command("ATX4D101");
  EXPECT_TRUE(caller_.Expect("BUSY\r\n", 10)) << caller_.Last();
}

TEST_F(TwoModems, UnassignedNumberGivesNoCarrier) {
  caller_.Command("ATDT555");
  EXPECT_TRUE(caller_.Expect("NO CARRIER\r\n", 10)) << caller_.Last();
  ASSERT_TRUE(caller_.Ok("AT"));  // back in command mode
}

TEST_F(TwoModems, CallerGivingUpStopsTheRinging) {
  caller_.Command("ATD101");
  ASSERT_TRUE(callee_.Expect("RING\r\n", 10));
  caller_.Command("ATH");  // any character aborts the dial; ATH then hangs up
  ASSERT_TRUE(caller_.Expect("OK\r\n", 10)) << caller_.Last();
  ASSERT_TRUE(line_.WaitFor("status", "OK calls 1 active 0", 10));
  callee_.Command("ATA");  // nothing rings any more
  EXPECT_TRUE(callee_.Expect("ERROR\r\n", 5)) << callee_.Last();
}

}  // namespace
}  // namespace ql::vmodem::testing
