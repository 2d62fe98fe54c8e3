#include "serial/tracing/trace_log.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace ql {
namespace {

void Record(TTraceBuffer& trace, char kind, const std::string& bytes) {
  for (char c : bytes) trace.Add(kind, static_cast<uint8_t>(c));
}

TEST(TraceBufferTest, AFourEntryTraceKeepsTheNewestAndDumpsThemByKind) {
  TTraceBuffer trace(4);
  Record(trace, 'T', "ATZ\r");
  Record(trace, 'R', "OK");
  EXPECT_EQ(trace.Render(true), "Transmit: \r\nZ[0D]\r\n\r\nReceive: \r\nOK");
}

TEST(TraceBufferTest, HexAndDecimalRenderingOfAModemExchange) {
  TTraceBuffer trace(100);
  Record(trace, 'T', "AT\r");
  Record(trace, 'R', "\r\nOK\r\n");
  EXPECT_EQ(trace.Render(true), "Transmit: \r\nAT[0D]\r\n\r\nReceive: \r\n[0D][0A]OK[0D][0A]");
  EXPECT_EQ(trace.Render(false), "Transmit: \r\nAT[13]\r\n\r\nReceive: \r\n[13][10]OK[13][10]");
}

TEST(TraceBufferTest, LongRunsWrapAtColumn78AndPauseStopsCapture) {
  TTraceBuffer trace(200);
  Record(trace, 'R', std::string(100, 'Z'));
  trace.capture = false;
  Record(trace, 'R', "lost");
  EXPECT_EQ(trace.Render(true), "Receive: \r\n" + std::string(78, 'Z') + "\r\n" + std::string(22, 'Z'));
  trace.Clear();
  EXPECT_TRUE(trace.Empty());
}

TEST(RenderByteTest, PrintableBytesStandAsThemselves) {
  EXPECT_EQ(RenderByte(' ', true), "[20]");
  EXPECT_EQ(RenderByte(' ', false), " ");
  EXPECT_EQ(RenderByte('~', true), "~");
  EXPECT_EQ(RenderByte(127, true), "[7F]");
  EXPECT_EQ(RenderByte(127, false), "[127]");
  EXPECT_EQ(RenderByte(5, false), "[5]");
  EXPECT_EQ(RenderByte(0xFF, true), "[FF]");
}

const std::string kHeading =
    "Time      Type      SubType       Data  OtherData\r\n"
    "----      ----      -------       ----  ---------\r\n";

TEST(LogBufferTest, EntryLinesHaveFixedColumns) {
  TLogBuffer log(10000);
  const uint8_t abc[] = {'A', 'B', 'C'};
  log.Add(kLogDispatch, kLogWriteCom, 1234, 3, abc, 3);
  log.Add(kLogTrigger, kLogAvail, 123456789, 0x1F, nullptr, 0);
  log.Add(kLogTrigger, kLogTimer, 2147483647u, 2, nullptr, 0);
  EXPECT_EQ(log.Render(true), kHeading +
                                  "00001234  dispatch  writecom      0003  ABC\r\n"
                                  "123456789  trigger   avail         001F  \r\n"
                                  "214748364  trigger   timer         0002  \r\n");
}

TEST(LogBufferTest, SixtyBytesWrapOntoAnIndentedLine) {
  TLogBuffer log(10000);
  const std::string bytes(60, 'x');
  log.Add(kLogDispatch, kLogReadCom, 7, 60, reinterpret_cast<const uint8_t*>(bytes.data()), 60);
  EXPECT_EQ(log.Render(true), kHeading + "00000007  dispatch  readcom       003C  " + std::string(37, 'x') + "\r\n" +
                                  std::string(40, ' ') + std::string(23, 'x') + "\r\n");
}

TEST(LogBufferTest, OldestEntriesGiveWayAndOversizedDataIsLeftOut) {
  TLogBuffer small(100);
  const std::string hundred(100, 'd');
  small.Add(kLogDispatch, kLogReadCom, 1, 100, reinterpret_cast<const uint8_t*>(hundred.data()), 100);
  EXPECT_EQ(small.Render(true), kHeading + "00000001  dispatch  readcom       0064  \r\n");

  TLogBuffer ring(40);  // room for two entries of 17 bytes
  for (int i = 1; i <= 3; ++i) {
    const std::string data = "abcd" + std::to_string(i);
    ring.Add(kLogDispatch, kLogWriteCom, static_cast<uint32_t>(i), 5, reinterpret_cast<const uint8_t*>(data.data()), 5);
  }
  EXPECT_EQ(ring.Render(true), kHeading +
                                   "00000002  dispatch  writecom      0005  abcd2\r\n"
                                   "00000003  dispatch  writecom      0005  abcd3\r\n");
  ring.Clear();
  EXPECT_TRUE(ring.Empty());
}

TEST(DumpFileTest, ReplacesOrAppendsAndReportsAMissingFolder) {
  testing::TempDir dir;
  const std::string file = (dir / "COMM.TRC").string();
  EXPECT_EQ(WriteDumpFile(file, "one", true), 0);  // no file yet: created
  EXPECT_EQ(WriteDumpFile(file, "two", true), 0);
  EXPECT_EQ(testing::ReadFile(file), "onetwo");
  EXPECT_EQ(WriteDumpFile(file, "three", false), 0);
  EXPECT_EQ(testing::ReadFile(file), "three");
  EXPECT_EQ(WriteDumpFile((dir / "no" / "such.trc").string(), "x", false), -3);
}

}  // namespace
}  // namespace ql
