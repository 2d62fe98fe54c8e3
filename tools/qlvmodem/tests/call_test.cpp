// Two virtual modems calling each other through the exchange, driven at the AT level
// the way a Class 1 fax program drives them.

#include <gtest/gtest.h>

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
