// A single virtual modem as a program sees it at the AT level, without calls.

#include <gtest/gtest.h>

#include <thread>

#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

class AtLevel : public ::testing::Test {
 protected:
  ql::testing::TempDir dir_;
  RunningLine line_{{"--modem", "ttyFAX0=100"}, dir_.path()};
  DteLink dte_{dir_ / "ttyFAX0"};
};

TEST_F(AtLevel, EchoVerboseQuietAndReset) {
  ASSERT_TRUE(dte_.Ok("AT"));
  EXPECT_EQ(dte_.Last(), "AT\r\r\nOK\r\n");  // echo is on at power-on
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT"));
  EXPECT_EQ(dte_.Last(), "\r\nOK\r\n");
  dte_.Command("ATV0");
  ASSERT_TRUE(dte_.Expect("0\r"));
  dte_.Command("AT+FCLASS=9");
  ASSERT_TRUE(dte_.Expect("4\r"));  // numeric ERROR
  dte_.Command("ATQ1");
  EXPECT_EQ(dte_.Collect(0.4), "");
  dte_.Command("ATZ");  // back to E1 V1 Q0
  ASSERT_TRUE(dte_.Expect("OK\r\n"));
  ASSERT_TRUE(dte_.Ok("AT"));
  EXPECT_EQ(dte_.Last(), "AT\r\r\nOK\r\n");
}

TEST_F(AtLevel, SRegistersAndFactoryDefaults) {
  ASSERT_TRUE(dte_.Ok("ATE0S0=3S7=50"));
  ASSERT_TRUE(dte_.Ok("ATS0?"));
  EXPECT_NE(dte_.Last().find("003"), std::string::npos) << dte_.Last();
  ASSERT_TRUE(dte_.Ok("ATS7?"));
  EXPECT_NE(dte_.Last().find("050"), std::string::npos) << dte_.Last();
  ASSERT_TRUE(dte_.Ok("AT&F"));
  ASSERT_TRUE(dte_.Ok("ATE0S0?"));
  EXPECT_NE(dte_.Last().find("000"), std::string::npos) << dte_.Last();
}

TEST_F(AtLevel, ClassesClaimedAndRefused) {
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=?"));
  EXPECT_EQ(dte_.Last(), "\r\n0,1\r\n\r\nOK\r\n");
  dte_.Command("AT+FCLASS=2");
  ASSERT_TRUE(dte_.Expect("\r\n"));
  EXPECT_TRUE(dte_.Expect("ERROR\r\n"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=1"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS?"));
  EXPECT_NE(dte_.Last().find("1"), std::string::npos);
  ASSERT_TRUE(dte_.Ok("AT+FTM=?"));
  EXPECT_NE(dte_.Last().find("146"), std::string::npos) << dte_.Last();
}

TEST(AtLevelClasses, ModemWithoutFaxClassesRefusesClassOne) {
  ql::testing::TempDir dir;
  RunningLine line({"--modem", "ttyDATA=300:"}, dir.path());
  DteLink dte(dir / "ttyDATA");
  ASSERT_TRUE(dte.Ok("ATE0"));
  ASSERT_TRUE(dte.Ok("AT+FCLASS=?"));
  EXPECT_EQ(dte.Last(), "\r\n0\r\n\r\nOK\r\n");
  dte.Command("AT+FCLASS=1");
  EXPECT_TRUE(dte.Expect("ERROR\r\n"));
}

TEST_F(AtLevel, EscapeWithGuardTimeIsDroppedInCommandMode) {
  ASSERT_TRUE(dte_.Ok("ATE0"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  dte_.Send("+++");
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  ASSERT_TRUE(dte_.Ok("ATH0"));
  EXPECT_EQ(dte_.Last(), "\r\nOK\r\n");  // no ERROR for a "+++ATH0" line
}

TEST_F(AtLevel, ClosingThePortResetsTheModem) {
  ASSERT_TRUE(dte_.Ok("ATE0"));
  dte_.Close();
  // The line notices the closed port on its next block; a new program then finds
  // the power-on settings (echo on) and none of the old output.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  DteLink again(dir_ / "ttyFAX0");
  ASSERT_TRUE(again.Ok("AT"));
  EXPECT_EQ(again.Last(), "AT\r\r\nOK\r\n");
}

TEST_F(AtLevel, LinkPointsAtThePseudoTerminal) {
  auto target = std::filesystem::read_symlink(dir_ / "ttyFAX0");
  EXPECT_EQ(target.string().rfind("/dev/pts/", 0), 0u) << target;
  std::string status = line_.Control("status");
  EXPECT_NE(status.find("modem ttyFAX0 100 "), std::string::npos) << status;
  EXPECT_NE(status.find(" open idle"), std::string::npos) << status;
}

}  // namespace
}  // namespace ql::vmodem::testing
