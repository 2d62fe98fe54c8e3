// Faults ordered for the next call of a modem, as the program on its pty sees them.

#include <gtest/gtest.h>

#include <chrono>

#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

class ModemFaults : public TwoModemLine {
 protected:
  void SetUp() override { Prepare("S0=1"); }
  void Order(const std::string& fault) { ASSERT_EQ(line_.Control("fault " + fault), "OK\n"); }
};

TEST_F(ModemFaults, CallProgressResultsFollowAtx) {
  Order("101 busy");
  caller_.Command("ATD101");  // X4 from power-on
  EXPECT_TRUE(caller_.Expect("\r\nBUSY\r\n", 10)) << caller_.Last();
  Order("101 busy");
  caller_.Command("ATX0D101");  // a modem that does not detect busy tones
  EXPECT_TRUE(caller_.Expect("\r\nNO CARRIER\r\n", 10)) << caller_.Last();
  Order("100 nodialtone");
  caller_.Command("ATX4D101");
  EXPECT_TRUE(caller_.Expect("\r\nNO DIALTONE\r\n", 10)) << caller_.Last();
  Order("101 noanswer 2");
  ASSERT_TRUE(callee_.Ok("ATS0=0"));
  caller_.Command("ATD101");
  EXPECT_TRUE(caller_.Expect("\r\nNO ANSWER\r\n", 10)) << caller_.Last();
  Order("101 voice");
  caller_.Command("ATD101");
  EXPECT_TRUE(caller_.Expect("\r\nVOICE\r\n", 10)) << caller_.Last();
  ASSERT_TRUE(caller_.Ok("AT"));  // each ends the call: the modem takes commands again
}

TEST_F(ModemFaults, SilentModemRecoversAfterHangUp) {
  Order("100 silence");
  caller_.Command("ATD101");
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 15)) << callee_.Last();
  EXPECT_EQ(caller_.Collect(6), "");  // no CONNECT, no frame
  caller_.Command("ATH");  // its first character ends the wait for a frame, unheard
  ASSERT_TRUE(caller_.Ok("ATH"));
  ASSERT_TRUE(caller_.Ok("AT"));
}

TEST_F(ModemFaults, GarbageReplacesTheReplies) {
  Order("100 garbage");
  caller_.Command("ATD101");
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 15));
  callee_.Send(std::string("\xFF\x13\x80\x00\x4E\xF9\x00\x10\x03", 9));
  ASSERT_TRUE(callee_.Expect("OK\r\n", 10));
  std::string noise = caller_.Collect(2);
  EXPECT_FALSE(noise.empty());
  EXPECT_EQ(noise.find("CONNECT"), std::string::npos);
  EXPECT_EQ(noise.find("\r\n"), std::string::npos);
}

TEST_F(ModemFaults, SlowRepliesAreLate) {
  Order("100 slow 1500");
  auto start = std::chrono::steady_clock::now();
  caller_.Command("ATD555");
  ASSERT_TRUE(caller_.Expect("NO CARRIER\r\n", 10)) << caller_.Last();
  // One second of dialling, then the reply waits 1.5 s more.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2400));
}

TEST_F(ModemFaults, CarrierLostInTheMiddleOfAPage) {
  Order("101 carrier");
  caller_.Command("ATD101");
  ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 15));
  callee_.Send(std::string("\xFF\x13\x80\x00\x4E\xF9\x00\x10\x03", 9));
  ASSERT_TRUE(callee_.Expect("OK\r\n", 10));
  ASSERT_TRUE(caller_.Expect("OK\r\n", 15));
  // The training check twice (the first one went unanswered), then the page with the
  // short V.17 training: the line dies half a second into the page, not in the check
  // sent again.
  for (int carrier = 0; carrier < 3; ++carrier) {
    const char* modulation = carrier < 2 ? "145" : "146";
    callee_.Command(std::string("AT+FRM=") + modulation);
    caller_.Command(std::string("AT+FTM=") + modulation);
    ASSERT_TRUE(caller_.Expect("CONNECT\r\n", 10));
    ASSERT_TRUE(callee_.Expect("CONNECT\r\n", 10)) << callee_.Last();
    int bytes = carrier < 2 ? 2700 : 5400;  // 1.5 s, then 3 s at 14400 bit/s
    caller_.Send(std::string(static_cast<size_t>(bytes), '\x55') + "\x10\x03");
    if (carrier < 2) {
      ASSERT_TRUE(caller_.Expect("OK\r\n", 10));
      ASSERT_TRUE(callee_.Expect("\x10\x03", 10));
      callee_.Expect("\r\n", 2);
      callee_.Collect(0.3);
    }
  }
  EXPECT_TRUE(callee_.Expect("\x10\x03\r\nNO CARRIER\r\n", 10)) << callee_.Last().size();
  std::string log = ql::testing::ReadFile(dir_ / "calls.log");
  EXPECT_NE(log.find("carrier lost"), std::string::npos) << log;
}

}  // namespace
}  // namespace ql::vmodem::testing
