#include "app/settings/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/ini_file.h"
#include "serial/errors/exceptions.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(Settings, FreshFolderGivesDefaultsWithComPortNeverSet) {
  TempDir dir;
  TSettings s;
  s.Name = "stale";
  LoadSettings(dir / "QL.INI", s);
  EXPECT_EQ(s.Name, "");
  EXPECT_EQ(s.ComPort, -1);
  EXPECT_EQ(s.DialAttempts, 3);
  EXPECT_EQ(s.RetryWait, 60);
  EXPECT_EQ(s.Timeout, 60);
  EXPECT_EQ(s.MaximumBPS, 9600);
  EXPECT_EQ(s.AnswerOnRing, 1);
  EXPECT_TRUE(s.HintsOn);
  EXPECT_FALSE(s.BlindDial);
  EXPECT_EQ(s.PortDevices, TSettings::DefaultPortDevices());
}

TEST(Settings, SaveWritesEveryKeyInOrderAndRoundTrips) {
  TempDir dir;
  TSettings s;
  s.Fax = "+1 555 0100";
  s.Name = "Ann Example";
  s.Voice = "555-0101";
  s.Company = "Example & Co";
  s.DialPrefix = "9,";
  s.DialAttempts = 5;
  s.RetryWait = 30;
  s.BlindDial = true;
  s.IgnoreBusy = true;
  s.ToneOrPulse = 1;
  s.Timeout = 90;
  s.InitString = "M0";
  s.ComPort = 2;
  s.FaxClass = 3;
  s.MaximumBPS = 14400;
  s.ResetString = "ATZ";
  s.ResetAfterString = "AT&F";
  s.Wav = "/usr/share/sounds/fax.wav";
  s.AnswerOnRing = 2;
  s.HintsOn = false;
  s.PortDevices[0] = "/tmp/ttyFAX0";
  SaveSettings(dir / "QL.INI", s);

  EXPECT_EQ(ReadFile(dir / "QL.INI"),
            "[User]\nFax=+1 555 0100\nName=Ann Example\nVoice=555-0101\nCompany=Example & Co\n\n"
            "[Dialing]\nDialPrefix=9,\nDialAttempts=5\nRetryWait=30\nBlindDial=1\nIgnoreBusy=1\n"
            "ToneOrPulse=1\nTimeout=90\n\n"
            "[Modem]\nInitString=M0\nComPort=2\nFaxClass=3\nMaximumBPS=14400\n\n"
            "[Resetting]\nString=ATZ\nAfterString=AT&F\n\n"
            "[Receive]\nWav=/usr/share/sounds/fax.wav\nAnswerOnRing=2\n\n"
            "[Hints]\nOn=0\n\n" "[Sending]\nTransmissionReport=0\n\n"
            "[Ports]\nCOM1=/tmp/ttyFAX0\nCOM2=/dev/ttyUSB0\nCOM3=/dev/ttyS0\nCOM4=/dev/ttyS1\n"
            "COM5=/dev/ttyACM1\nCOM6=/dev/ttyUSB1\n");

  TSettings back;
  LoadSettings(dir / "QL.INI", back);
  EXPECT_EQ(back.Fax, s.Fax);
  EXPECT_EQ(back.Company, s.Company);
  EXPECT_EQ(back.DialPrefix, s.DialPrefix);
  EXPECT_EQ(back.DialAttempts, 5);
  EXPECT_TRUE(back.BlindDial);
  EXPECT_TRUE(back.IgnoreBusy);
  EXPECT_EQ(back.ToneOrPulse, 1);
  EXPECT_EQ(back.ComPort, 2);
  EXPECT_EQ(back.FaxClass, 3);
  EXPECT_EQ(back.MaximumBPS, 14400);
  EXPECT_EQ(back.ResetAfterString, "AT&F");
  EXPECT_EQ(back.Wav, s.Wav);
  EXPECT_EQ(back.AnswerOnRing, 2);
  EXPECT_FALSE(back.HintsOn);
  EXPECT_EQ(back.PortDevices, s.PortDevices);
}

TEST(Settings, SaveKeepsPlacementsAndUnknownSectionsAndHexAndMalformedValuesRead) {
  TempDir dir;
  WriteFile(dir / "QL.INI",
            "[TMainScreen_Placement]\nLeft=10\nBottom=400\n[Modem]\nComPort=0x2\n"
            "[Dialing]\nDialAttempts=abc\nRetryWait=\n");
  TSettings s;
  LoadSettings(dir / "QL.INI", s);
  EXPECT_EQ(s.ComPort, 2);
  EXPECT_EQ(s.DialAttempts, 3);
  EXPECT_EQ(s.RetryWait, 60);
  SaveSettings(dir / "QL.INI", s);
  const IniFile ini(dir / "QL.INI");
  EXPECT_EQ(ini.ReadInteger("TMainScreen_Placement", "Bottom", 0), 400);
  EXPECT_EQ(ini.Sections().front(), "TMainScreen_Placement");
  EXPECT_EQ(ini.ReadString("Modem", "ComPort", ""), "2");
  EXPECT_EQ(ini.ReadString("Dialing", "DialAttempts", ""), "3");
}

TEST(Settings, UnlistedRateIsReadAndSavedAs9600) {
  TempDir dir;
  WriteFile(dir / "QL.INI", "[Modem]\nMaximumBPS=19200\n");
  TSettings s;
  LoadSettings(dir / "QL.INI", s);
  EXPECT_EQ(s.MaximumBPS, 9600);
  SaveSettings(dir / "QL.INI", s);
  EXPECT_EQ(IniFile(dir / "QL.INI").ReadString("Modem", "MaximumBPS", ""), "9600");
}

TEST(Settings, GarbageLinesAndHugeValuesDoNotBreakReading) {
  TempDir dir;
  std::string garbage = "\x01\x02 no equals sign\n[unclosed\n=value without key\n]]]\n";
  garbage += "[User]\nName=" + std::string(5000, 'N') + "\nFax\n[Modem]\nComPort=1\n\xff\xfe=\n";
  WriteFile(dir / "QL.INI", garbage);
  TSettings s;
  LoadSettings(dir / "QL.INI", s);
  EXPECT_EQ(s.Name, std::string(1023, 'N'));
  EXPECT_EQ(s.Fax, "");
  EXPECT_EQ(s.ComPort, 1);
  EXPECT_EQ(s.DialAttempts, 3);  // section missing altogether
  SaveSettings(dir / "QL.INI", s);
  TSettings back;
  LoadSettings(dir / "QL.INI", back);
  EXPECT_EQ(back.Name, s.Name);
  EXPECT_EQ(back.ComPort, 1);
}

TEST(Settings, UnwritableFileRaisesUnableToWrite) {
  TempDir dir;
  std::filesystem::create_directory(dir / "QL.INI");  // a folder where the file should be
  TSettings s;
  try {
    SaveSettings(dir / "QL.INI", s);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + (dir / "QL.INI").string());
  }
  // A folder that is a file: refused for every user, root included.
  WriteFile(dir / "plain", "");
  EXPECT_THROW(SaveSettings(dir / "plain" / "QL.INI", s), Exception);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(Settings, MaximumBpsListPositions) {
  EXPECT_EQ(BpsToListPosition(2400), 0);
  EXPECT_EQ(BpsToListPosition(14400), 5);
  EXPECT_EQ(BpsToListPosition(19200), 3);
  EXPECT_EQ(ListPositionToBps(BpsToListPosition(19200)), 9600);
  EXPECT_EQ(ListPositionToBps(4), 12000);
  EXPECT_EQ(ListPositionToBps(-1), 9600);
  EXPECT_EQ(ListPositionToBps(6), 9600);
}

TEST(Settings, PortDeviceOfAnIndex) {
  TSettings s;
  EXPECT_EQ(PortDevice(s, 0), "/dev/ttyACM0");
  EXPECT_EQ(PortDevice(s, 5), "/dev/ttyUSB1");
  EXPECT_EQ(PortDevice(s, -1), "");
  EXPECT_EQ(PortDevice(s, 6), "");
}

}  // namespace
}  // namespace ql
