#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "serial/device/build_state.h"
#include "serial/device/device_layer.h"
#include "serial/device/port_lock_file.h"
#include "serial/device/termios_mapping.h"
#include "serial/errors/error_codes.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class DeviceLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTermiosLayer();
    SetLockDirectory(locks.path().string());
    ops = CurrentDeviceOps();
  }
  void TearDown() override { SetLockDirectory(""); }

  testing::TempDir locks;
  TDeviceOps ops{};
};

TEST_F(DeviceLayerTest, MissingDeviceAndNonTerminalReportNoSuchDevice) {
  EXPECT_EQ(ops.DevOpen((locks.path() / "ttyNONE").c_str()), -1);
  EXPECT_EQ(DeviceLastError(), 2);
  const auto plain = locks.path() / "plain";
  std::ofstream(plain) << "x";
  EXPECT_EQ(ops.DevOpen(plain.c_str()), -1);
  EXPECT_EQ(DeviceLastError(), 2);
}

TEST_F(DeviceLayerTest, LockFileKeepsOutASecondOpenAndGoesWithTheClose) {
  testing::PtyPair pty;
  const DeviceHandle h = ops.DevOpen(pty.path().c_str());
  ASSERT_GE(h, 0);
  const std::string lock = LockFilePath(locks.path().string(), pty.path());
  std::ifstream in(lock);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  char expected[16];
  std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(::getpid()));
  EXPECT_EQ(text, expected);

  EXPECT_EQ(ops.DevOpen(pty.path().c_str()), -1);
  EXPECT_EQ(DeviceLastError(), 5);
  EXPECT_EQ(ops.DevClose(h), 0);
  EXPECT_FALSE(std::filesystem::exists(lock));
}

TEST_F(DeviceLayerTest, LockOfAnotherLiveProgramRefusesAndAStaleOneIsTakenOver) {
  testing::PtyPair pty;
  const std::string lock = LockFilePath(locks.path().string(), pty.path());
  std::ofstream(lock) << "         1\n";  // init always runs
  EXPECT_EQ(ops.DevOpen(pty.path().c_str()), -1);
  EXPECT_EQ(DeviceLastError(), 5);

  std::ofstream(lock) << "  99999999\n";  // no such process
  const DeviceHandle h = ops.DevOpen(pty.path().c_str());
  ASSERT_GE(h, 0);
  ops.DevClose(h);
}

TEST(LockFileTest, NamesFollowTheDevicePath) {
  EXPECT_EQ(LockFilePath("/run/lock", "/dev/ttyS0"), "/run/lock/LCK..ttyS0");
  EXPECT_EQ(LockFilePath("/run/lock", "/dev/pts/3"), "/run/lock/LCK..pts_3");
  EXPECT_EQ(TakeDeviceLock("/nonexistent-folder", "/dev/ttyS0"), LockResult::NoLockFolder);
}

TEST_F(DeviceLayerTest, LineSettingsReachTheTerminalAndReadBack) {
  testing::PtyPair pty;
  const DeviceHandle h = ops.DevOpen(pty.path().c_str());
  ASSERT_GE(h, 0);
  for (uint32_t baud : {300u, 600u, 1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
    for (uint8_t parity = 0; parity <= 4; ++parity) {
      for (uint8_t size = 5; size <= 8; ++size) {
        TCommState s;
        s.BaudRate = baud;
        s.Parity = parity;
        s.ByteSize = size;
        s.StopBits = size == 5 ? kOne5StopBits : (parity % 2 ? kTwoStopBits : kOneStopBit);
        ASSERT_EQ(ops.DevSetState(h, s), 0) << baud << " " << int(parity) << " " << int(size);
        TCommState back;
        ASSERT_EQ(ops.DevGetState(h, back), 0);
        EXPECT_EQ(back.BaudRate, baud);
        EXPECT_EQ(back.Parity, parity);
        EXPECT_EQ(back.ByteSize, size);
        EXPECT_EQ(back.StopBits, s.StopBits);
      }
    }
  }
  termios t {};
  ASSERT_EQ(::tcgetattr(h, &t), 0);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  TCommState odd;
  odd.BaudRate = 12345;
  EXPECT_EQ(ops.DevSetState(h, odd), -1);
  ops.DevClose(h);
}

TEST(TermiosMappingTest, FramingAndSpeedsMapBothWays) {
  for (uint32_t baud : {300u, 1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
    for (uint8_t parity = 0; parity <= 4; ++parity) {
      for (uint8_t size = 5; size <= 8; ++size) {
        for (uint8_t stop : {kOneStopBit, kTwoStopBits}) {
          TCommState s;
          s.BaudRate = baud;
          s.Parity = parity;
          s.ByteSize = size;
          s.StopBits = size == 5 && stop != kOneStopBit ? kOne5StopBits : stop;
          termios t {};
          ASSERT_TRUE(StateToTermios(s, t));
          TCommState back;
          StateFromTermios(t, back);
          EXPECT_EQ(back.BaudRate, baud);
          EXPECT_EQ(back.Parity, parity);
          EXPECT_EQ(back.ByteSize, size);
          EXPECT_EQ(back.StopBits, s.StopBits);
        }
      }
    }
  }
  TCommState mark;
  mark.Parity = 3;
  termios t {};
  ASSERT_TRUE(StateToTermios(mark, t));
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD | CMSPAR));
  mark.Parity = 4;
  ASSERT_TRUE(StateToTermios(mark, t));
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | CMSPAR));
  mark.BaudRate = 12345;
  EXPECT_FALSE(StateToTermios(mark, t));
}

TEST_F(DeviceLayerTest, FlowControlSettingsMapToTermios) {
  testing::PtyPair pty;
  const DeviceHandle h = ops.DevOpen(pty.path().c_str());
  ASSERT_GE(h, 0);
  TCommState s;
  s.OutX = true;
  s.InX = true;
  s.XonChar = 0x11;
  s.XoffChar = 0x13;
  s.OutxCtsFlow = true;
  s.RtsControl = kLineControlHandshake;
  s.XoffLim = 820;
  ASSERT_EQ(ops.DevSetState(h, s), 0);
  termios t {};
  ASSERT_EQ(::tcgetattr(h, &t), 0);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);
  TCommState back;
  ASSERT_EQ(ops.DevGetState(h, back), 0);
  EXPECT_TRUE(back.OutxCtsFlow);
  EXPECT_EQ(back.RtsControl, kLineControlHandshake);
  EXPECT_EQ(back.XoffLim, 820);
  ops.DevClose(h);
}

TEST_F(DeviceLayerTest, PseudoTerminalReadsLinesHighAndMovesBytes) {
  testing::PtyPair pty;
  const DeviceHandle h = ops.DevOpen(pty.path().c_str());
  ASSERT_GE(h, 0);
  bool hasLines = true;
  EXPECT_EQ(ReadModemLines(h, &hasLines), kLineCts | kLineDsr | kLineDcd);
  EXPECT_FALSE(hasLines);
  EXPECT_EQ(ops.DevEscape(h, kEscClrDtr), 0);  // ignored, but accepted

  pty.Send("hello");
  uint8_t buffer[16] = {};
  ASSERT_TRUE(testing::WaitUntil([&] {
    int waiting = 0;
    return ::ioctl(h, FIONREAD, &waiting) == 0 && waiting == 5;
  }));
  EXPECT_EQ(ops.DevRead(h, buffer, 16), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "hello");
  EXPECT_EQ(ops.DevRead(h, buffer, 16), 0);  // nothing there: returns at once
  EXPECT_EQ(ops.DevTransmitChar(h, 'Z'), 0);
  EXPECT_EQ(pty.Receive(1), "Z");

  // Without a dispatcher bound to it the write path has nowhere to go.
  EXPECT_EQ(ops.DevWrite(h, buffer, 1), ecFileNotOpen);
  TComStat st;
  EXPECT_EQ(ops.DevGetError(h, st), ecFileNotOpen);
  EXPECT_EQ(ops.DevPushBack(h, 'x'), ecNotSupported);
  EXPECT_TRUE(ops.DevSetupQueues(h, 8192, 8192));
  ops.DevClose(h);
  EXPECT_EQ(ops.DevRead(h, buffer, 1), ecFileNotOpen);
  EXPECT_FALSE(ops.DevSetupQueues(h, 1, 1));
}

TEST(PlaceholderLayerTest, EveryOperationFailsWithNoDeviceLayer) {
  InstallPlaceholderLayer();
  const TDeviceOps ops = CurrentDeviceOps();
  InstallTermiosLayer();
  EXPECT_FALSE(IsTermiosLayer(ops));
  EXPECT_TRUE(IsTermiosLayer(CurrentDeviceOps()));
  TCommState s;
  TComStat st;
  uint8_t b = 0;
  EXPECT_EQ(ops.DevOpen("/dev/null"), ecNullApi);
  EXPECT_EQ(ops.DevBuildState("9600,n,8,1", s), ecNullApi);
  EXPECT_EQ(ops.DevGetState(3, s), ecNullApi);
  EXPECT_EQ(ops.DevSetState(3, s), ecNullApi);
  EXPECT_EQ(ops.DevGetError(3, st), ecNullApi);
  EXPECT_EQ(ops.DevRead(3, &b, 1), ecNullApi);
  EXPECT_EQ(ops.DevWrite(3, &b, 1), ecNullApi);
  EXPECT_EQ(ops.DevFlush(3, 1), ecNullApi);
  EXPECT_EQ(ops.DevGetEventMask(3, 0), 0);
  EXPECT_FALSE(ops.DevSetupQueues(3, 1, 1));
}

TEST(BuildStateTest, BothDefinitionFormsAndBadOnes) {
  TCommState s;
  ASSERT_TRUE(BuildCommState("COM1:2400,e,7,2", s));
  EXPECT_EQ(s.BaudRate, 2400u);
  EXPECT_EQ(s.Parity, 2);
  EXPECT_EQ(s.ByteSize, 7);
  EXPECT_EQ(s.StopBits, kTwoStopBits);
  ASSERT_TRUE(BuildCommState("baud=19200 parity=M data=8 stop=1 xon=on rts=hs", s));
  EXPECT_EQ(s.BaudRate, 19200u);
  EXPECT_EQ(s.Parity, 3);
  EXPECT_EQ(s.StopBits, kOneStopBit);
  EXPECT_TRUE(s.OutX && s.InX);
  EXPECT_EQ(s.RtsControl, kLineControlHandshake);
  const TCommState before = s;
  EXPECT_FALSE(BuildCommState("9600,q,8,1", s));
  EXPECT_FALSE(BuildCommState("baud=fast", s));
  EXPECT_FALSE(BuildCommState("9600,n,9,1", s));
  EXPECT_FALSE(BuildCommState("", s));
  EXPECT_EQ(s.BaudRate, before.BaudRate);  // a bad string changes nothing
}

}  // namespace
}  // namespace ql
