#include "serial/comport/com_port.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/message_windows/message_window.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::WaitUntil;

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLockDirectory(dir.path().string());
    InstallDevices();
  }
  void TearDown() override {
    // Closes still pending on a dispatch thread finish before the next test.
    EXPECT_TRUE(WaitUntil([] {
      for (int h = 1; h <= kMaxPorts; ++h)
        if (InUsed(h) >= 0) return false;
      return true;
    }));
    SetPortDeviceResolver({});
    SetLockDirectory("");
  }
  void InstallDevices() {
    SetPortDeviceResolver([this](int n) { return n >= 1 && n <= 3 ? devices[n - 1] : std::string(); });
  }
  // Runs queued window messages until the condition holds.
  static bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return WaitUntil([&] {
      DispatchPendingMessages();
      return condition();
    }, timeoutMs);
  }

  testing::TempDir dir;
  testing::PtyPair com1, com2;
  // The devices of COM1 to COM3; COM3's does not exist.
  std::array<std::string, 3> devices{com1.path(), com2.path(), (dir / "ttyMISSING").string()};
};

TEST_F(ComPortTest, DefaultsAreThoseOfAFreshComponent) {
  TComPort cp;
  EXPECT_EQ(cp.DeviceLayer(), dlWin32);
  EXPECT_EQ(cp.ComNumber(), 0);
  EXPECT_EQ(cp.Baud(), 19200);
  EXPECT_EQ(cp.Parity(), pNone);
  EXPECT_EQ(cp.DataBits(), 8);
  EXPECT_EQ(cp.StopBits(), 1);
  EXPECT_EQ(cp.InSize(), 4096);
  EXPECT_EQ(cp.OutSize(), 4096);
  EXPECT_TRUE(cp.AutoOpen());
  EXPECT_EQ(cp.DispatcherMode(), dWin32);
  EXPECT_FALSE(cp.Open());
  EXPECT_TRUE(cp.DTR() && cp.RTS());
  EXPECT_TRUE(cp.HWFlowOptions().Empty());
  EXPECT_EQ(cp.SWFlowOptions(), swfNone);
  EXPECT_EQ(cp.XOnChar(), 17);
  EXPECT_EQ(cp.XOffChar(), 19);
  EXPECT_EQ(cp.Tracing(), tlOff);
  EXPECT_EQ(cp.TraceSize(), 10000);
  EXPECT_EQ(cp.TraceName(), "COMM.TRC");
  EXPECT_EQ(cp.LogName(), "COMM.LOG");
  EXPECT_EQ(cp.TriggerLength(), 1);
  EXPECT_EQ(cp.CommNotificationLevel(), 10);
  EXPECT_EQ(cp.TapiMode(), tmAuto);
  cp.SetDeviceLayer(dlWinsock);  // not accepted
  EXPECT_EQ(cp.DeviceLayer(), dlWin32);
  cp.SetDispatcherMode(dTimer);
  EXPECT_EQ(cp.DispatcherMode(), dWin32);
}

TEST_F(ComPortTest, OpenFailuresRaiseTheirExceptions) {
  TComPort cp;
  EXPECT_THROW(cp.SetOpen(true), ENoPortSelected);
  cp.SetComNumber(3);
  EXPECT_THROW(cp.SetOpen(true), EBadId);
  cp.SetComNumber(9);  // no device named for it
  EXPECT_THROW(cp.SetOpen(true), EBadId);
  SetPortDeviceResolver({});  // without a resolver no number names a device
  cp.SetComNumber(1);
  EXPECT_THROW(cp.SetOpen(true), EBadId);
  InstallDevices();
  cp.SetDeviceLayer(dlNone);
  EXPECT_THROW(cp.SetOpen(true), ENullApi);
  cp.SetDeviceLayer(dlWin32);
  TComPort other;
  other.SetComNumber(1);
  other.SetOpen(true);
  EXPECT_THROW(cp.SetOpen(true), EAlreadyOpen);
  EXPECT_FALSE(cp.Open());
  // While loading, codes come back instead of exceptions.
  TComPort loading;
  loading.BeginLoading();
  loading.SetOpen(true);
  EXPECT_FALSE(loading.Open());
}

TEST_F(ComPortTest, AutoOpenOpensOnFirstUseAndDataFlows) {
  TComPort cp;
  cp.SetComNumber(1);
  cp.SendString("ATZ\r");
  EXPECT_TRUE(cp.Open());
  EXPECT_GT(cp.PortHandle(), 0);
  EXPECT_EQ(com1.Receive(4), "ATZ\r");
  com1.Send("K");
  ASSERT_TRUE(WaitUntil([&] { return cp.HasChar(); }));
  EXPECT_EQ(cp.TakeChar(), 'K');
  EXPECT_THROW(cp.TakeChar(), EBufferIsEmpty);

  TComPort manual;
  manual.SetComNumber(2);
  manual.SetAutoOpen(false);
  EXPECT_EQ(manual.PortHandle(), 0);
  EXPECT_THROW(manual.SendString("x"), EBadHandle);
}

TEST_F(ComPortTest, EachOpenAsksWhichDeviceTheNumberNames) {
  TComPort cp;
  cp.SetComNumber(1);
  cp.SetAutoOpen(false);
  cp.SetOpen(true);
  cp.SendString("A");
  EXPECT_EQ(com1.Receive(1), "A");
  cp.SetOpen(false);
  devices[0] = com2.path();  // the user points COM1 at another device
  cp.SetOpen(true);
  cp.SendString("B");
  EXPECT_EQ(com2.Receive(1), "B");
}

TEST_F(ComPortTest, LoadedOpensAPortThatWasOpenInTheForm) {
  TComPort cp;
  cp.BeginLoading();
  cp.SetComNumber(1);
  cp.SetOpen(true);
  EXPECT_FALSE(cp.Open());
  cp.Loaded();
  EXPECT_TRUE(cp.Open());
}

TEST_F(ComPortTest, FlowControlMarksDefaultFromTheInputSize) {
  TComPort cp;
  cp.SetInSize(8192);
  cp.SetHWFlowOptions({hwfUseRTS, hwfRequireCTS});
  EXPECT_EQ(cp.BufferFull(), 7372);
  EXPECT_EQ(cp.BufferResume(), 819);

  TComPort small;
  small.SetHWFlowOptions({hwfUseRTS});
  small.SetBufferFull(10000);
  EXPECT_EQ(small.BufferFull(), 3686);
  small.SetBufferResume(5000);
  EXPECT_EQ(small.BufferResume(), 368);

  TComPort soft;
  soft.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(soft.BufferFull(), 3072);
  EXPECT_EQ(soft.BufferResume(), 1024);

  // Applied to the open port.
  cp.SetComNumber(1);
  cp.SetOpen(true);
  cp.SetSWFlowOptions(swfReceive);
  termios t {};
  ASSERT_EQ(::tcgetattr(PortDeviceHandle(cp.PortHandle()), &t), 0);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_FALSE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
}

TEST_F(ComPortTest, LineChangesReachTheOpenPort) {
  TComPort cp;
  cp.SetComNumber(1);
  cp.SetOpen(true);
  cp.SetBaud(2400);
  cp.SetParity(pEven);
  cp.SetDataBits(7);
  int32_t baud = 0;
  int parity = 0, dataBits = 0, stopBits = 0;
  ASSERT_EQ(GetLine(cp.PortHandle(), baud, parity, dataBits, stopBits), 0);
  EXPECT_EQ(baud, 2400);
  EXPECT_EQ(parity, pEven);
  EXPECT_EQ(dataBits, 7);
  EXPECT_THROW(cp.SetBaud(12345), ENotSupported);
}

TEST_F(ComPortTest, TraceStatesWhileClosedAndTheDumpAtClose) {
  TComPort cp;
  cp.SetComNumber(1);
  cp.SetTracing(tlDump);
  EXPECT_EQ(cp.Tracing(), tlOff);
  cp.SetTracing(tlOn);
  EXPECT_EQ(cp.Tracing(), tlOn);
  cp.SetTraceName((dir / "QL.TRC").string());
  cp.SetLogName((dir / "QL.LOG").string());
  cp.SetLogging(tlOn);
  cp.SetOpen(true);
  cp.SendString("AT\r");
  cp.SetTraceSize(50000);  // clamped; a trace that is on starts again, empty
  EXPECT_EQ(cp.TraceSize(), 32760);
  EXPECT_EQ(cp.Tracing(), tlOn);
  cp.SendString("ATH\r");
  cp.SetTracing(tlPause);
  cp.SendString("lost");
  cp.SetTracing(tlOn);
  cp.SetOpen(false);
  EXPECT_EQ(cp.Tracing(), tlOff);
  EXPECT_EQ(cp.Logging(), tlOff);
  EXPECT_EQ(testing::ReadFile(dir / "QL.TRC"), "Transmit: \r\nATH[0D]");
  EXPECT_NE(testing::ReadFile(dir / "QL.LOG").find("writecom      0004  lost"), std::string::npos);
}

TEST_F(ComPortTest, AwaitStringMatchesAcrossFalseStartsAndTimesOut) {
  TComPort cp;
  cp.SetComNumber(1);
  std::string waited;
  cp.OnWaitChar = [&](TCustomComPort&, char c) { waited += c; };
  cp.SetTriggerLength(0);  // no data-available events: nobody pumps them here
  cp.SetOpen(true);
  EXPECT_TRUE(cp.AwaitString("", 1, false, false));
  com1.Send("OOK");
  EXPECT_TRUE(cp.AwaitString("OK", 40, false, false));
  EXPECT_EQ(waited, "OOK");
  com1.Send("xK");
  EXPECT_FALSE(cp.AwaitString("OK", 4, false, true));
  com1.Send("ok");
  EXPECT_TRUE(cp.AwaitString("OK", 40, true, false));
  EXPECT_EQ(SuspendNotify(cp.PortHandle(), false), 0);  // notifications released after the wait
}

TEST_F(ComPortTest, EventsArriveOnTheOpeningThreadThroughTheHiddenWindow) {
  TComPort cp;
  cp.SetComNumber(1);
  std::vector<std::string> events;
  cp.OnTrigger = [&](TCustomComPort&, uint16_t msg, uint16_t handle, uint16_t data) {
    events.push_back("trigger " + std::to_string(msg) + " " + std::to_string(handle) + " " + std::to_string(data));
  };
  cp.OnTriggerAvail = [&](TCustomComPort& port, uint16_t count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += port.TakeChar();
    events.push_back("avail " + s);
  };
  cp.OnTriggerTimer = [&](TCustomComPort&, uint16_t handle) { events.push_back("timer " + std::to_string(handle)); };
  cp.OnTriggerStatus = [&](TCustomComPort&, uint16_t) { throw std::runtime_error("handler fault"); };
  std::vector<std::string> shown;
  TCustomComPort::SetExceptionDisplay([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      shown.push_back(ex.what());
    }
  });
  cp.SetOpen(true);
  com1.Send("RING");
  ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
  EXPECT_EQ(events[0], "trigger 32257 4 4");
  EXPECT_EQ(events[1], "avail RING");

  const int timer = NewTimerTrigger(cp.PortHandle());
  ASSERT_EQ(ArmTimerTrigger(cp.PortHandle(), timer, 1, true), 0);
  ASSERT_TRUE(PumpUntil([&] { return events.size() >= 4; }));
  EXPECT_EQ(events[3], "timer " + std::to_string(timer));

  const int used = NewStatusTrigger(cp.PortHandle(), kStatusOutUsed);
  ASSERT_EQ(ArmStatusTrigger(cp.PortHandle(), used, 0, true), 0);
  ASSERT_TRUE(PumpUntil([&] { return !shown.empty(); }));
  EXPECT_EQ(shown[0], "handler fault");
  TCustomComPort::SetExceptionDisplay({});
}

TEST_F(ComPortTest, ClosingInsideAnEventFinishesAfterTheEvent) {
  TComPort cp;
  cp.SetComNumber(1);
  int events = 0;
  cp.OnTriggerAvail = [&](TCustomComPort& port, uint16_t) {
    ++events;
    port.SetOpen(false);
  };
  cp.SetOpen(true);
  const int handle = cp.PortHandle();
  com1.Send("NO CARRIER");
  ASSERT_TRUE(PumpUntil([&] { return InUsed(handle) == ecBadHandle; }));
  EXPECT_EQ(events, 1);
  EXPECT_FALSE(cp.Open());
  EXPECT_NO_THROW(cp.SetOpen(true));  // the device was let go
  EXPECT_TRUE(cp.Open());
}

TEST_F(ComPortTest, ChangingTheNumberWhileOpenKeepsTheTriggers) {
  TComPort cp;
  cp.SetComNumber(1);
  cp.SetOpen(true);
  const int timer = NewTimerTrigger(cp.PortHandle());
  const int status = NewStatusTrigger(cp.PortHandle(), kStatusModem);
  cp.SetTriggerLength(5);
  cp.SetComNumber(2);
  EXPECT_TRUE(cp.Open());
  EXPECT_EQ(StatusTriggerKind(cp.PortHandle(), status), kStatusModem);
  EXPECT_EQ(ArmTimerTrigger(cp.PortHandle(), timer, 10, true), 0);
  EXPECT_EQ(NewTimerTrigger(cp.PortHandle()), 4);  // 2 and 3 are still taken
  cp.SendString("on two");
  EXPECT_EQ(com2.Receive(6), "on two");
  // The first device was let go.
  TComPort again;
  again.SetComNumber(1);
  EXPECT_NO_THROW(again.SetOpen(true));
}

}  // namespace
}  // namespace ql
