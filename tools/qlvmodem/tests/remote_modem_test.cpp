// Virtual remote fax machines meeting a Class 1 modem driven at the AT level: a calling
// remote and an answering program, an answering remote judging a program's training.

#include <gtest/gtest.h>

#include "tools/qlvmodem/tests/class1_frames.h"
#include "tools/qlvmodem/tests/class1_session.h"
#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

TEST(RemoteAndModem, CallingRemoteMeetsAnsweringClassOneProgram) {
  ql::testing::TempDir dir;
  RunningLine line({"--modem", "ttyFAX0=100", "--ring-period", "1"}, dir.path());
  WriteTestTiff(dir / "page.tif");
  DteLink dte(dir / "ttyFAX0");
  ASSERT_TRUE(dte.Ok("ATE0+FCLASS=1"));
  ASSERT_EQ(line.Control("send 100 " + (dir / "page.tif").string() + " CALLER").rfind("OK", 0), 0u);
  ASSERT_TRUE(dte.Expect("RING\r\n", 10));
  dte.Command("ATA");
  ASSERT_TRUE(dte.Expect("CONNECT\r\n", 15)) << dte.Last();
  dte.Send(IdFrame(0x40, false) + kEndOfFrame);  // CSI
  ASSERT_TRUE(dte.Expect("CONNECT\r\n", 10)) << dte.Last();
  dte.Send(Frame({0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00}) + kEndOfFrame);  // DIS: V.29/V.27ter
  ASSERT_TRUE(dte.Expect("OK\r\n", 10)) << dte.Last();
  // The remote answers as a fax machine does: its ID, then the chosen parameters.
  dte.Command("AT+FRH=3");
  ASSERT_TRUE(dte.Expect("OK\r\n", 15)) << dte.Last();
  EXPECT_EQ(FirstFcf(dte.Last()), 0x43) << "TSI expected";
  dte.Command("AT+FRH=3");
  ASSERT_TRUE(dte.Expect("OK\r\n", 15)) << dte.Last();
  EXPECT_EQ(FirstFcf(dte.Last()) & 0xFE, 0x82) << "DCS expected";
}

// Data sent with +FTM, then the next frame the remote sends.
std::string SendDataAndListen(DteLink& dte, const std::string& data) {
  if (!SendData(dte, data)) return "sending data";
  dte.Command("AT+FRH=3");
  dte.Expect("OK\r\n", 15);
  return dte.Last();
}

// A Class 1 program sends its parameters and the training check (1.5 s of zeros) to
// the answering remote, and reads the remote's verdict.
std::string TrainingVerdict(const std::string& fault, bool listenAfterDcs = false) {
  ql::testing::TempDir dir;
  RunningLine line({"--modem", "ttyFAX0=100", "--remote", "200", "--ring-period", "1"}, dir.path());
  if (!fault.empty()) line.Control("fault 200 " + fault);
  DteLink dte(dir / "ttyFAX0");
  std::string failed = DialAndSendParameters(dte);
  if (!failed.empty()) return failed;
  if (listenAfterDcs) {
    dte.Command("AT+FRH=3");
    dte.Expect("OK\r\n", 15);
    return dte.Last();
  }
  return SendDataAndListen(dte, std::string(1800, '\0'));
}

TEST(RemoteAndModem, AnsweringRemoteConfirmsGoodTraining) {
  std::string reply = TrainingVerdict("");
  EXPECT_EQ(FirstFcf(reply) & 0xFE, 0x84) << reply;  // CFR
}

TEST(RemoteAndModem, AnsweringRemoteRefusesSpoiledTraining) {
  std::string reply = TrainingVerdict("train 9600");
  EXPECT_EQ(FirstFcf(reply) & 0xFE, 0x44) << reply;  // FTT
}

TEST(RemoteAndModem, AnsweringRemoteOrderedToDisconnect) {
  // The remote answers the parameters with DCN at once, so the program hears it when
  // it listens instead of sending the training check.
  std::string reply = TrainingVerdict("dcn", true);
  EXPECT_EQ(FirstFcf(reply) & 0xFE, 0xFA) << reply;  // DCN
}

}  // namespace
}  // namespace ql::vmodem::testing
