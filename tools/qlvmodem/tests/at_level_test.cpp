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

// Fax programs ask which modem they have before they choose a class: every class
// answers with the modem's own texts, none of the library's underneath.
TEST(AtLevelIdentity, EveryClassIdentifiesTheModem) {
  ql::testing::TempDir dir;
  RunningLine line({"--modem", "ttyFAX0=100:1+2+2.0"}, dir.path());
  DteLink dte(dir / "ttyFAX0");
  ASSERT_TRUE(dte.Ok("ATE0"));
  auto answer = [&](const std::string& command) {
    EXPECT_TRUE(dte.Ok(command)) << command << ": " << dte.Last();
    const std::string text = dte.Last();
    EXPECT_EQ(text.find("spandsp"), std::string::npos) << command;
    EXPECT_EQ(text.find("soft-switch"), std::string::npos) << command;
    return text;
  };
  EXPECT_NE(answer("ATI3").find("Quillet virtual fax modem"), std::string::npos);
  for (const char* command : {"ATI0", "ATI1", "ATI2", "AT+FMI?", "AT+FMM?", "AT+FMR?"})
    EXPECT_GT(answer(command).size(), std::string("\r\nOK\r\n").size()) << command;
  ASSERT_TRUE(dte.Ok("AT+FCLASS=2"));
  EXPECT_EQ(answer("AT+FMFR?"), "\r\nQuillet\r\n\r\nOK\r\n");
  EXPECT_EQ(answer("AT+FMDL?"), "\r\nQuillet virtual fax modem\r\n\r\nOK\r\n");
  EXPECT_EQ(answer("AT+FREV?"), "\r\n1.0\r\n\r\nOK\r\n");
  // Class 2.0's reset returns the program's settings to their first values.
  ASSERT_TRUE(dte.Ok("AT+FCLASS=2.0"));
  ASSERT_TRUE(dte.Ok("AT+FLI=\"12345\";+FIS=0,3,0,0"));
  ASSERT_TRUE(dte.Ok("AT+FIP"));
  ASSERT_TRUE(dte.Ok("AT+FLI?"));
  EXPECT_NE(dte.Last().find("\"\""), std::string::npos) << dte.Last();
  ASSERT_TRUE(dte.Ok("AT+FIS?"));
  EXPECT_NE(dte.Last().find("1,5,0,2,0,0,0,0"), std::string::npos) << dte.Last();
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
