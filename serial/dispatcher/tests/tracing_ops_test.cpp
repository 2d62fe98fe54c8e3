#include <regex>

#include "serial/dispatcher/tests/port_fixture.h"
#include "serial/errors/error_codes.h"
#include "serial/tracing/trace_log.h"

namespace ql {
namespace {

class PortTracingTest : public testing::PortTest {};

TEST_F(PortTracingTest, TraceRecordsWritesAndReadsAndDumpsThem) {
  Open();
  const std::string file = (locks / "QL.TRC").string();
  EXPECT_EQ(TraceStart(port, kMaxTraceEntries + 1), ecBadArgument);
  ASSERT_EQ(TraceStart(port, 100), 0);
  ASSERT_EQ(WriteString(port, "AT\r"), 0);
  pty.Send("\r\nOK\r\n");
  ASSERT_TRUE(WaitHeld(6));
  ReadAll();
  ASSERT_EQ(TraceDump(port, file, false, true), 0);
  EXPECT_EQ(testing::ReadFile(file), "Transmit: \r\nAT[0D]\r\n\r\nReceive: \r\n[0D][0A]OK[0D][0A]");

  // The dump freed the trace: nothing more is recorded and another dump leaves the file.
  ASSERT_EQ(WriteString(port, "lost"), 0);
  EXPECT_EQ(TraceDump(port, file, false, true), 0);
  ASSERT_EQ(TraceStart(port, 100), 0);
  EXPECT_EQ(TraceDump(port, file, false, true), 0);  // recorded nothing: file untouched
  EXPECT_EQ(testing::ReadFile(file), "Transmit: \r\nAT[0D]\r\n\r\nReceive: \r\n[0D][0A]OK[0D][0A]");

  ASSERT_EQ(TraceStart(port, 100), 0);
  ASSERT_EQ(WriteString(port, "X"), 0);
  ASSERT_EQ(TracePause(port), 0);
  ASSERT_EQ(WriteString(port, "Y"), 0);
  ASSERT_EQ(TraceResume(port), 0);
  ASSERT_EQ(WriteString(port, "Z"), 0);
  ASSERT_EQ(TraceDump(port, file, true, false), 0);
  EXPECT_EQ(testing::ReadFile(file), "Transmit: \r\nAT[0D]\r\n\r\nReceive: \r\n[0D][0A]OK[0D][0A]Transmit: \r\nXZ");
}

TEST_F(PortTracingTest, LogRecordsReadsWritesAndTriggers) {
  Open();
  const std::string file = (locks / "QL.LOG").string();
  ASSERT_EQ(LogStart(port, 10000), 0);
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  ASSERT_EQ(WriteString(port, "ABC"), 0);
  pty.Send("ok");
  ASSERT_TRUE(WaitHeld(2));
  // A dump that cannot write keeps the log for another try.
  EXPECT_EQ(LogDump(port, (locks / "none" / "x.log").string(), false, true), -3);
  ASSERT_EQ(LogDump(port, file, false, true), 0);
  const std::string text = testing::ReadFile(file);
  EXPECT_TRUE(std::regex_search(text, std::regex("\r\n[0-9]{8}  dispatch  writecom      0003  ABC\r\n"))) << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("\r\n[0-9]{8}  dispatch  readcom       0002  ok\r\n"))) << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("\r\n[0-9]{8}  trigger   avail         0002  \r\n"))) << text;
  EXPECT_EQ(LogStart(port, kMaxLogBytes + 1), ecBadArgument);
  EXPECT_EQ(LogDump(port, file, false, true), 0);  // no log: nothing happens
  EXPECT_EQ(testing::ReadFile(file), text);
}

}  // namespace
}  // namespace ql
