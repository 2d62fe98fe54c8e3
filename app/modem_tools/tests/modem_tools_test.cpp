// The modem tools against modems on pseudo-terminals: the port texts, the reset
// strings, Find Modem's probe, the class verdict and the Modem Reset dialog.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <fstream>

#include "app/modem_tools/check_fax_class.h"
#include "app/modem_tools/find_modem.h"
#include "app/modem_tools/modem_port.h"
#include "app/modem_tools/reset_modem.h"
#include "app/modem_tools/serial_devices.h"
#include "app/modem_tools/tests/answering_modem.h"
#include "app/settings/port_settings.h"
#include "app/settings/settings.h"
#include "app/ui/message_boxes.h"
#include "app/ui/testing/application.h"
#include "app/ui/testing/modal_answerer.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "serial/comport/com_port.h"
#include "serial/device/device_layer.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

class ModemToolsTest : public ::testing::Test {
 protected:
  ModemToolsTest() {
    testing::EnsureApplication();
    SetDataFolder(dir.path());
    SetLockDirectory((dir.path() / "locks").string());
    fs::create_directories(dir.path() / "locks");
    Settings() = TSettings{};
    for (auto& device : Settings().PortDevices) device = (dir.path() / "missing").string();
    InstallSettingsPortResolver();
  }
  ~ModemToolsTest() override { SetLockDirectory(""); }
  void Touch(const fs::path& p, const std::string& text = "") { std::ofstream(p) << text; }

  testing::TempDir dir;
};

TEST_F(ModemToolsTest, SerialDevicesAreListedOnceAndUnconfiguredOnesFound) {
  const fs::path dev = dir.path() / "dev", sys = dir.path() / "sys";
  fs::create_directories(dev / "serial" / "by-id");
  for (const char* name : {"ttyACM0", "ttyUSB3", "ttyS0", "ttyS1", "tty1", "null"}) Touch(dev / name);
  fs::create_symlink("../../ttyACM0", dev / "serial" / "by-id" / "usb-Maker_FaxModem-if00");
  for (auto [name, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}}) {
    fs::create_directories(sys / "class" / "tty" / name);
    Touch(sys / "class" / "tty" / name / "type", type);
  }
  const auto devices = ListSerialDevices(dev, sys);
  const std::vector<std::string> expected = {(dev / "serial/by-id/usb-Maker_FaxModem-if00").string(),
                                             (dev / "ttyS0").string(), (dev / "ttyUSB3").string()};
  EXPECT_EQ(devices, expected);  // ttyACM0 under its link; ttyS1 has no UART

  Settings().PortDevices[2] = (dev / "ttyACM0").string();  // the link's device, by another name
  const auto rest = UnconfiguredSerialDevices(Settings(), devices);
  EXPECT_EQ(rest, (std::vector<std::string>{(dev / "ttyS0").string(), (dev / "ttyUSB3").string()}));
  EXPECT_EQ(FreePortNumber(Settings()), 1);
  for (int i = 0; i < kPortCount; ++i) Settings().PortDevices[i] = (dev / "ttyS0").string();
  EXPECT_EQ(FreePortNumber(Settings()), -1);
}

TEST_F(ModemToolsTest, PortsShowTheirDeviceAndAVirtualModemIsNamedSo) {
  Settings().PortDevices[0] = "/dev/ttyACM0";
  EXPECT_EQ(PortLabel(Settings(), 0), "Com1 - /dev/ttyACM0");
  // A line of the virtual fax line: a link to a pseudo-terminal beside a control socket.
  testing::PtyPair pty;
  const fs::path line = dir.path() / "vline";
  fs::create_directories(line);
  fs::create_symlink(pty.path(), line / "ttyFAX0");
  EXPECT_EQ(DeviceDescription((line / "ttyFAX0").string()), (line / "ttyFAX0").string());  // no socket yet
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr {};
  addr.sun_family = AF_UNIX;
  const std::string socketPath = (line / "control").string();
  ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), addr.sun_path);
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  Settings().PortDevices[1] = (line / "ttyFAX0").string();
  EXPECT_EQ(PortLabel(Settings(), 1), "Com2 - virtual fax modem");
  ::close(s);
}

TEST_F(ModemToolsTest, OpenFailuresTellTheCauseAndTheHolder) {
  TComPort port;
  port.SetComNumber(3);
  std::string error;
  EXPECT_FALSE(OpenModemPort(port, error));
  EXPECT_EQ(error, "Unable to open the specified communications port ( Com3 )\rThere is no device " +
                       (dir.path() / "missing").string() + ".");
  EXPECT_EQ(OpenFailureText(2, ecNoHandles, ""),
            "Unable to open the specified communications port ( Com2 )\rError message: No more handles, can't open port");
  EXPECT_EQ(OpenFailureText(2, -3999, ""),
            "Unable to open the specified communications port ( Com2 )\rError message: Unknown error");

  // Held by another program through its lock file.
  testing::AnsweringModem modem;
  Settings().PortDevices[2] = modem.path();
  const std::string lock = (dir.path() / "locks" / ("LCK..pts_" + modem.path().substr(9))).string();
  Touch(lock, "         1\n");  // process 1 is alive: the lock is not stale
  EXPECT_FALSE(OpenModemPort(port, error));
  EXPECT_EQ(error.rfind("The communications port is in use ( Com 3 )\r\rPlease make sure that all communication "
                        "programs (internet, AOL, etc) are closed, and then try again.\rIt is held by the lock file " +
                            lock + ", process 1",
                        0),
            0u)
      << error;
  fs::remove(lock);
  EXPECT_TRUE(OpenModemPort(port, error));
  port.SetOpen(false);
}

TEST_F(ModemToolsTest, ResetStringsGetATInFrontOnlyWhenMissing) {
  EXPECT_EQ(WithAtPrefix("&F"), "AT&F");
  EXPECT_EQ(WithAtPrefix("atz"), "atz");
  EXPECT_EQ(WithAtPrefix("X3 at"), "X3 at");
  testing::AnsweringModem modem;
  Settings().PortDevices[0] = modem.path();
  TComPort port;
  port.SetComNumber(1);
  port.SetOpen(true);
  EXPECT_TRUE(SendResetString(port, "&F"));
  EXPECT_TRUE(SendResetString(port, "atz"));
  EXPECT_TRUE(FactoryReset(port));
  EXPECT_EQ(modem.Lines(), (std::vector<std::string>{"AT&F", "atz", "AT&F"}));
  port.SetOpen(false);

  testing::AnsweringModem silent(false);
  Settings().PortDevices[1] = silent.path();
  TComPort quiet;
  quiet.SetComNumber(2);
  quiet.SetOpen(true);
  EXPECT_FALSE(SendResetString(quiet, "ATZ"));  // no "OK" within about 2 s
  quiet.SetOpen(false);
}

TEST_F(ModemToolsTest, FindModemReportsTheFirstPortThatAnswers) {
  testing::AnsweringModem com2, com4, other;
  testing::AnsweringModem silent(false);
  Settings().PortDevices[1] = com2.path();
  Settings().PortDevices[2] = silent.path();
  Settings().PortDevices[3] = com4.path();
  TComPort port;
  TFindModemForm form(nullptr, port, {other.path()});
  form.show();
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        QApplication::processEvents();
        return form.Finished();
      },
      20000));
  EXPECT_EQ(form.FindResult(), 2);
  EXPECT_EQ(form.FoundDevice(), other.path());
  EXPECT_TRUE(form.PortLabel(1)->text().startsWith("Com 1: Port does not exist")) << form.PortLabel(1)->text().toStdString();
  EXPECT_TRUE(form.PortLabel(2)->text().startsWith("Com 2: MODEM   ["));
  EXPECT_TRUE(form.PortLabel(3)->text().startsWith("Com 3: Unknown"));
  EXPECT_TRUE(form.PortLabel(4)->text().startsWith("Com 4: MODEM"));
  EXPECT_EQ(form.windowTitle(), "Find Modem");
  EXPECT_EQ(form.findChild<QLabel*>("result")->text().toStdString(), FindModemResultText(2, false));
  EXPECT_EQ(FindModemResultText(2, false), "A modem was found on Com Port 2. We suggest setting the Port as Com 2.");
  EXPECT_EQ(com2.Lines(), std::vector<std::string>{"AT"});
  EXPECT_EQ(FindModemResultText(-1, true).rfind("No modem found. Please make sure", 0), 0u);
}

TEST_F(ModemToolsTest, FindModemLabelsAPortHeldByAnotherProgram) {
  testing::AnsweringModem modem;
  Settings().PortDevices[0] = modem.path();
  Touch(dir.path() / "locks" / ("LCK..pts_" + modem.path().substr(9)), "         1\n");
  TComPort port;
  const TProbeResult r = ProbePort(port, 1);
  EXPECT_TRUE(r.busy);
  EXPECT_FALSE(r.modem);
  EXPECT_EQ(r.text.rfind("Port is already open (could be modem) - lock file ", 0), 0u) << r.text;
}

TEST_F(ModemToolsTest, TheHighestSupportedClassIsRecommended) {
  const TClassVerdict both = JudgeFaxClasses(true, FaxClassBit(fcClass1) | FaxClassBit(fcClass2), 1);
  EXPECT_EQ(both.recommended, 1);
  EXPECT_EQ(both.name, "Class 2");
  EXPECT_EQ(both.class2, "Class 2   : Supported (recommended)");
  EXPECT_EQ(both.class1, "Class 1   : Supported");
  EXPECT_EQ(both.class20, "Class 2.0 : Not Supported");
  EXPECT_EQ(both.status.rfind("Try using the recommended Fax Class (Class 2) or auto detect. ", 0), 0u);
  const TClassVerdict all =
      JudgeFaxClasses(true, FaxClassBit(fcClass1) | FaxClassBit(fcClass2) | FaxClassBit(fcClass2_0), 1);
  EXPECT_EQ(all.recommended, 2);
  EXPECT_TRUE(all.class20Bold);
  EXPECT_EQ(all.class20, "Class 2.0 : Supported");
  EXPECT_EQ(JudgeFaxClasses(true, FaxClassBit(fcClass1), 1).class1, "Class 1   : Supported (recommended)");
  for (const TClassVerdict& none : {JudgeFaxClasses(true, 0, 4), JudgeFaxClasses(false, FaxClassBit(fcClass1), 4)}) {
    EXPECT_EQ(none.recommended, -1);
    EXPECT_EQ(none.status, "Unable to determine Fax Class support from modem on Com 4");
    EXPECT_EQ(none.class1, "Class 1   : unknown");
    EXPECT_EQ(none.class20, "Class 2.0 : unknown");
  }
}

TEST_F(ModemToolsTest, ModemResetSendsEachStringAndSavesBothHoweverClosed) {
  testing::AnsweringModem modem;
  Settings().PortDevices[1] = modem.path();
  Settings().ComPort = 1;
  Settings().ResetString = "AT&F";
  SaveSettings();
  TComPort port;
  TResetModemForm form(nullptr, port);
  EXPECT_EQ(form.BeforeEdit()->text(), "AT&F");
  const int beeps = BeepCount();
  form.AfterEdit()->clear();
  testing::ClickButtonByText(&form, "Send Now");  // the first: beside "AT&F"
  EXPECT_EQ(form.findChild<QLabel*>("status")->text(), "Modem reset");
  EXPECT_EQ(modem.Lines(), std::vector<std::string>{"AT&F"});
  form.findChild<QPushButton*>("afterSendNow")->click();  // empty: only a beep
  EXPECT_EQ(BeepCount(), beeps + 2);
  EXPECT_EQ(modem.Lines().size(), 1u);
  form.findChild<QPushButton*>("afterRecommended")->click();
  EXPECT_EQ(form.AfterEdit()->text(), "ATZ");
  form.reject();
  IniFile ini(SettingsFile());
  EXPECT_EQ(ini.ReadString("Resetting", "String", ""), "AT&F");
  EXPECT_EQ(ini.ReadString("Resetting", "AfterString", ""), "ATZ");
  EXPECT_FALSE(port.Open());
}

}  // namespace
}  // namespace ql
