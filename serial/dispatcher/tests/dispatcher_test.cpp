#include <sys/resource.h>
#include <termios.h>

#include <vector>

#include "serial/dispatcher/tests/port_fixture.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

using testing::PortTest;
using testing::WaitUntil;

class DispatcherTest : public PortTest {};

TEST_F(DispatcherTest, BytesTravelBothWaysInOrder) {
  Open();
  std::string out;
  for (int i = 0; i < 3000; ++i) out += static_cast<char>(i * 7);
  ASSERT_EQ(WriteString(port, out), 0);
  EXPECT_EQ(pty.Receive(out.size()), out);
  EXPECT_TRUE(WaitUntil([&] { return OutUsed(port) == 0; }));
  EXPECT_EQ(OutFree(port), 4096);

  std::string in;
  for (int i = 0; i < 5000; ++i) in += static_cast<char>(i * 13 + 1);
  pty.Send(in);
  ASSERT_TRUE(WaitHeld(5000));
  EXPECT_EQ(CharReady(port), 1);
  EXPECT_EQ(ReadAll(), in);
  EXPECT_EQ(ReadChar(port), ecBufferIsEmpty);
  EXPECT_EQ(CharReady(port), 0);
}

TEST_F(DispatcherTest, FullReceiveBufferHoldsTheRestUntilRead) {
  Open();
  std::string in;
  for (int i = 0; i < 9000; ++i) in += static_cast<char>('a' + i % 26);
  pty.Send(in);
  ASSERT_TRUE(WaitHeld(kReceiveBufferSize));
  EXPECT_EQ(CharReady(port), 1);
  std::string got;
  for (int i = 0; i < kReceiveBufferSize; ++i) got += static_cast<char>(ReadChar(port));
  // The 808 bytes that did not fit come in once room is made; nothing is lost.
  ASSERT_TRUE(WaitHeld(808));
  got += ReadAll();
  EXPECT_EQ(got, in);
}

TEST_F(DispatcherTest, OutputRingFillsExactlyAndWrapsInOrder) {
  Open(16);
  const int device = PortDeviceHandle(port);
  ASSERT_EQ(::tcflow(device, TCOOFF), 0);  // hold the line so the ring fills
  ASSERT_EQ(WriteString(port, "0123456789"), 0);
  ASSERT_EQ(WriteString(port, "ABCDEF"), 0);  // exactly the free space
  EXPECT_EQ(OutUsed(port), 16);
  EXPECT_EQ(OutFree(port), 0);
  EXPECT_EQ(WriteChar(port, 'x'), ecOutputBufferTooSmall);
  ASSERT_EQ(::tcflow(device, TCOON), 0);
  EXPECT_EQ(pty.Receive(16), "0123456789ABCDEF");
  ASSERT_TRUE(WaitUntil([&] { return OutUsed(port) == 0; }));
  ASSERT_EQ(WriteString(port, "wrapping-around!"), 0);  // starts mid-ring, wraps
  EXPECT_EQ(pty.Receive(16), "wrapping-around!");
}

TEST_F(DispatcherTest, FlushOutputDiscardsWhatWaits) {
  Open(64);
  const int device = PortDeviceHandle(port);
  ASSERT_EQ(::tcflow(device, TCOOFF), 0);
  ASSERT_EQ(WriteString(port, "discard me"), 0);
  ASSERT_EQ(OutUsed(port), 10);
  EXPECT_EQ(FlushOutput(port), 0);
  EXPECT_EQ(OutUsed(port), 0);
  ASSERT_EQ(::tcflow(device, TCOON), 0);
  ASSERT_EQ(WriteString(port, "kept"), 0);
  EXPECT_EQ(pty.Receive(4), "kept");
  EXPECT_EQ(pty.Receive(1, 100), "");  // nothing of the discarded text follows
}

TEST_F(DispatcherTest, FlushInputEmptiesTheBuffer) {
  Open();
  pty.Send("stale");
  ASSERT_TRUE(WaitHeld(5));
  EXPECT_EQ(FlushInput(port), 0);
  EXPECT_EQ(InUsed(port), 0);
  pty.Send("new");
  ASSERT_TRUE(WaitHeld(3));
  EXPECT_EQ(ReadAll(), "new");
}

TEST_F(DispatcherTest, LineSettingsAndTheirRules) {
  Open();
  int32_t baud = 0;
  int parity = -1, dataBits = 0, stopBits = 0;
  ASSERT_EQ(GetLine(port, baud, parity, dataBits, stopBits), 0);
  EXPECT_EQ(baud, 19200);
  EXPECT_EQ(parity, 0);
  EXPECT_EQ(dataBits, 8);
  EXPECT_EQ(stopBits, 1);

  ASSERT_EQ(SetLine(port, 2400, 2, 7, 2), 0);
  ASSERT_EQ(SetBaud(port, 115200), 0);  // the rest stays
  ASSERT_EQ(GetLine(port, baud, parity, dataBits, stopBits), 0);
  EXPECT_EQ(baud, 115200);
  EXPECT_EQ(parity, 2);
  EXPECT_EQ(dataBits, 7);
  EXPECT_EQ(stopBits, 2);

  ASSERT_EQ(SetLine(port, 0, 5, 5, 1), 0);  // five data bits: 1.5 stop bits
  ASSERT_EQ(GetLine(port, baud, parity, dataBits, stopBits), 0);
  EXPECT_EQ(dataBits, 5);
  EXPECT_EQ(stopBits, 2);
  EXPECT_EQ(SetLine(port, 12345, 5, 9, 3), ecNotSupported);
  EXPECT_EQ(SetLine(port, 0, 7, 9, 3), ecBadArgument);
}

TEST_F(DispatcherTest, FlowControlMarksAreChecked) {
  Open();
  EXPECT_EQ(SetHardwareFlow(port, 7372, 819, 2 | 8), 0);
  EXPECT_EQ(SetHardwareFlow(port, 100, 200, 2), ecBadArgument);
  EXPECT_EQ(SetHardwareFlow(port, 9000, 100, 2), ecBadArgument);  // above the input size
  EXPECT_EQ(ClearHardwareFlow(port), 0);
  EXPECT_EQ(SetSoftwareFlow(port, 6144, 2048, 3), 0);
  termios t {};
  ASSERT_EQ(::tcgetattr(PortDeviceHandle(port), &t), 0);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_EQ(SetFlowChars(port, 'Q', 'S'), 0);
  ASSERT_EQ(::tcgetattr(PortDeviceHandle(port), &t), 0);
  EXPECT_EQ(t.c_cc[VSTART], 'Q');
  EXPECT_EQ(ClearSoftwareFlow(port), 0);
  ASSERT_EQ(::tcgetattr(PortDeviceHandle(port), &t), 0);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
}

TEST_F(DispatcherTest, PseudoTerminalModemLinesReadHigh) {
  Open();
  EXPECT_EQ(ModemStatus(port, 0xFF) & 0xF0, kLineCts | kLineDsr | kLineDcd);
  EXPECT_EQ(CheckDCD(port), 1);
  EXPECT_EQ(SetModemLines(port, false, false), 0);
  EXPECT_EQ(CheckDCD(port), 1);  // a pseudo-terminal ignores line changes
  EXPECT_EQ(LineError(port), 0);
  EXPECT_EQ(LineBreak(port), 0);
}

TEST_F(DispatcherTest, HandlesSlotsAndSmallOperations) {
  EXPECT_EQ(InUsed(0), ecBadHandle);
  EXPECT_EQ(WriteChar(51, 'x'), ecBadHandle);
  EXPECT_EQ(ClosePort(7), ecBadHandle);
  Open();
  int marker = 0;
  void* value = nullptr;
  EXPECT_EQ(SetUserSlot(port, 2, &marker), 0);
  EXPECT_EQ(GetUserSlot(port, 2, value), 0);
  EXPECT_EQ(value, &marker);
  EXPECT_EQ(SetUserSlot(port, 11, &marker), ecBadArgument);
  EXPECT_EQ(GetUserSlot(port, 0, value), ecBadArgument);
  EXPECT_EQ(SetProtocolActive(port, 1), 0);
  EXPECT_EQ(ProtocolActive(port), 1);
  EXPECT_EQ(SuspendNotify(port, true), 0);
  EXPECT_EQ(SuspendNotify(port, false), 1);
  EXPECT_EQ(ProcessComm(port), 0);
  EXPECT_EQ(PortFlags(port), int(kReadsConsumeDuringNotify));
  EXPECT_EQ(WriteBlock(port, nullptr, 0), 0);
  EXPECT_EQ(ClosePort(port), 0);
  EXPECT_EQ(InUsed(port), ecBadHandle);
}

TEST_F(DispatcherTest, OpenFailuresGiveTheirCodes) {
  int handle = 0;
  EXPECT_EQ(OpenPort(handle, (locks.path() / "missing").string(), 4096, 4096, 8, 1, 0, 19200), -2);
  EXPECT_EQ(handle, 0);
  Open();
  EXPECT_EQ(OpenPort(handle, pty.path(), 4096, 4096, 8, 1, 0, 19200), -5);  // already ours
  InstallPlaceholderLayer();
  EXPECT_EQ(OpenPort(handle, "/dev/null", 4096, 4096, 8, 1, 0, 19200), ecNullApi);
  InstallTermiosLayer();
}

TEST_F(DispatcherTest, FiftyFirstPortHasNoHandle) {
  std::vector<std::unique_ptr<testing::PtyPair>> ptys;
  std::vector<int> handles;
  for (int i = 0; i < kMaxPorts; ++i) {
    ptys.push_back(std::make_unique<testing::PtyPair>());
    int h = 0;
    ASSERT_EQ(OpenPort(h, ptys.back()->path(), 256, 256, 8, 1, 0, 9600), 0) << i;
    handles.push_back(h);
  }
  int h = 0;
  EXPECT_EQ(OpenPort(h, pty.path(), 256, 256, 8, 1, 0, 9600), ecNoHandles);
  for (int handle : handles) EXPECT_EQ(ClosePort(handle), 0);
}

TEST_F(DispatcherTest, VanishedDeviceEndsQuietlyAndCanBeClosed) {
  Open();
  pty.Send("last");
  ASSERT_TRUE(WaitHeld(4));
  pty.CloseMaster();  // the modem is unplugged
  ASSERT_TRUE(WaitUntil([&] { return DeviceLost(port) == 1; }));
  // Every line dropped: CTS, DSR and DCD changed. Reading DCD clears only its own
  // change bit; reading with mask 0xF0 clears the rest.
  EXPECT_EQ(CheckDCD(port), 0);
  EXPECT_EQ(ModemStatus(port, 0xF0), 0x03);
  EXPECT_EQ(ModemStatus(port, 0xFF), 0x00);
  EXPECT_EQ(WriteString(port, "AT\r"), ecPutBlockFail);
  EXPECT_EQ(ReadAll(), "last");  // what had arrived stays readable

  // No busy loop: the threads sleep once the device is gone.
  rusage before {}, after {};
  getrusage(RUSAGE_SELF, &before);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  getrusage(RUSAGE_SELF, &after);
  const auto cpuMicros = [](const rusage& r) {
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000L + r.ru_utime.tv_usec + r.ru_stime.tv_usec;
  };
  EXPECT_LT(cpuMicros(after) - cpuMicros(before), 100000L);
  EXPECT_EQ(ClosePort(port), 0);
  port = 0;
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

TEST_F(DispatcherTest, AnAdoptedHandleIsUsedAsItStandsAndClosedWithThePort) {
  const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  pty.CloseSlave();
  ASSERT_EQ(OpenPortWithHandle(port, fd, "COM1", 4096, 4096, 8, 1, 0, 19200), 0);
  EXPECT_EQ(PortDeviceHandle(port), fd);
  ASSERT_EQ(WriteString(port, "adopted"), 0);
  EXPECT_EQ(pty.Receive(7), "adopted");
  pty.Send("back");
  ASSERT_TRUE(WaitHeld(4));
  EXPECT_EQ(ReadAll(), "back");
  EXPECT_EQ(ClosePort(port), 0);
  port = 0;
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // the port closed the handle it was given
  EXPECT_EQ(OpenPortWithHandle(port, -1, "COM1", 4096, 4096, 8, 1, 0, 19200), ecBadArgument);
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

TEST_F(DispatcherTest, FlushDuringAStreamDropsOnlyTheTail) {
  Open(4096);
  std::string stream;  // bytes that never repeat a run of 8, so every piece can be found
  uint32_t x = 7;
  for (int i = 0; i < 60000; ++i) {
    x = x * 1103515245u + 12345u;
    stream += static_cast<char>(x >> 24);
  }
  std::string got;
  std::thread reader([&] { got = pty.Receive(1u << 20, 1500); });
  std::size_t sent = 0;
  for (int round = 0; round < 40; ++round) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(OutFree(port)), 1000);
    if (n > 0 && WriteString(port, stream.substr(sent, n)) == 0) sent += n;
    if (round == 20) {
      ASSERT_EQ(FlushOutput(port), 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(FlushOutput(port), 0);
  ASSERT_EQ(WriteString(port, "END"), 0);
  reader.join();
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got.substr(got.size() - 3), "END");
  // What went out is the stream in order, with at most one gap per flush: no stale or
  // repeated bytes.
  std::size_t at = 0, gaps = 0;
  for (std::size_t i = 0; i + 3 < got.size(); ++i) {
    if (at < sent && stream[at] == got[i]) {
      ++at;
      continue;
    }
    const std::size_t next = stream.find(got.substr(i, std::min<std::size_t>(8, got.size() - 3 - i)), at);
    ASSERT_NE(next, std::string::npos) << "byte " << i << " is not from the stream";
    at = next + 1;
    ++gaps;
  }
  EXPECT_LE(gaps, 2u);
  EXPECT_LE(at, sent);
}

}  // namespace
}  // namespace ql
