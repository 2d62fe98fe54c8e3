#include "app/settings/port_settings.h"

#include <gtest/gtest.h>

#include "app/settings/settings.h"
#include "serial/comport/com_port.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/device/device_layer.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

// A comm port of the program opens the device that the settings name for its number,
// as they are when it opens.
TEST(PortSettings, PortsOpenTheDeviceOfTheirNumberInTheSettings) {
  testing::TempDir locks;
  SetLockDirectory(locks.path().string());
  testing::PtyPair modem;
  const TSettings saved = Settings();
  InstallSettingsPortResolver();
  Settings().PortDevices[1] = modem.path();
  EXPECT_EQ(ResolvePortDevice(2), modem.path());
  EXPECT_EQ(ResolvePortDevice(1), Settings().PortDevices[0]);
  EXPECT_EQ(ResolvePortDevice(0), "");  // no such port numbers
  EXPECT_EQ(ResolvePortDevice(kPortCount + 1), "");

  TComPort cp;
  cp.SetComNumber(2);
  cp.SetAutoOpen(false);
  cp.SetOpen(true);
  cp.SendString("AT\r");
  EXPECT_EQ(modem.Receive(3), "AT\r");
  cp.SetOpen(false);
  Settings().PortDevices[1] = (locks / "ttyGONE").string();  // changed in the preferences
  EXPECT_THROW(cp.SetOpen(true), EBadId);

  SetPortDeviceResolver({});
  Settings() = saved;
  SetLockDirectory("");
}

}  // namespace
}  // namespace ql
