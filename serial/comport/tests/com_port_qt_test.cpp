// The component's events through Qt's event loop, as the fax desk runs them.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "platform/message_windows/message_window.h"
#include "platform/message_windows/qt_message_pump.h"
#include "serial/comport/com_port.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

TEST(ComPortQtTest, DataEventsRunInTheEventLoopAndAwaitStringYieldsToIt) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  InstallQtMessagePump();
  testing::TempDir locks;
  SetLockDirectory(locks.path().string());
  testing::PtyPair modem;
  SetPortDeviceResolver([&](int n) { return n == 1 ? modem.path() : std::string(); });

  TComPort cp;
  cp.SetComNumber(1);
  std::string got;
  cp.OnTriggerAvail = [&](TCustomComPort& port, uint16_t count) {
    for (int i = 0; i < count; ++i) got += port.TakeChar();
    if (got == "RING") QCoreApplication::quit();
  };
  cp.SetOpen(true);
  // Send once the event loop runs: a window message that waits longer than its 1000 ms
  // time-out is dropped, and a loaded machine may take that long to reach exec().
  QTimer::singleShot(0, &app, [&] { modem.Send("RING"); });
  QTimer::singleShot(10000, &app, [] { QCoreApplication::quit(); });
  app.exec();
  EXPECT_EQ(got, "RING");
  EXPECT_TRUE(ApplicationTerminating());  // quitting ends waits at once
  EXPECT_TRUE(cp.AwaitString("never", 40, false, true));
  SetApplicationTerminating(false);

  // While a wait yields, a timer of the application still runs.
  bool ticked = false;
  QTimer::singleShot(20, &app, [&] {
    ticked = true;
    modem.Send("OK\r\n");
  });
  EXPECT_TRUE(cp.AwaitString("OK", 182, false, true));
  EXPECT_TRUE(ticked);
  cp.SetOpen(false);
  SetPortDeviceResolver({});
  SetLockDirectory("");
}

}  // namespace
}  // namespace ql
