// The "qlfax port" command against a modem played on a pseudo-terminal.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

struct RunResult {
  int status;
  std::string output;
};

// The tests live in build/tests, the programs in build/bin.
std::string QlfaxPath() {
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  return (self.parent_path().parent_path() / "bin" / "qlfax").string();
}

RunResult RunQlfax(const std::string& arguments) {
  const std::string command = QlfaxPath() + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  RunResult r{-1, {}};
  if (pipe == nullptr) return r;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) r.output += buffer;
  r.status = WEXITSTATUS(::pclose(pipe));
  return r;
}

TEST(QlfaxPortTest, SendsACommandPrintsTheAnswerAndWritesTheTrace) {
  testing::TempDir home;
  testing::PtyPair modem;
  modem.CloseSlave();  // the command opens the device by its path
  std::thread answer([&] {
    if (modem.Receive(4, 5000) == "ATI\r") modem.Send("\r\nVirtual modem\r\nOK\r\n");
  });
  const std::string trace = (home / "port.trc").string();
  const RunResult r = RunQlfax("--home " + home.path().string() + " port --com 2 --device " + modem.path() +
                               " --send ATI --wait OK --timeout 5 --trace " + trace);
  answer.join();
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Virtual modem"), std::string::npos) << r.output;
  EXPECT_EQ(testing::ReadFile(trace), "Transmit: \r\nATI[0D]\r\n\r\nReceive: \r\n[0D][0A]Virtual[20]modem[0D][0A]OK");
}

TEST(QlfaxPortTest, AMissingDeviceAndASilentModemFail) {
  testing::TempDir home;
  RunResult r = RunQlfax("--home " + home.path().string() + " port --com 1 --device " + (home / "ttyNONE").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("comport doesn't exist"), std::string::npos) << r.output;

  testing::PtyPair modem;
  modem.CloseSlave();
  r = RunQlfax("--home " + home.path().string() + " port --com 1 --device " + modem.path() + " --timeout 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("no \"OK\" within 1 s"), std::string::npos) << r.output;
  EXPECT_EQ(RunQlfax("port --com 9").status, 2);
}

}  // namespace
}  // namespace ql
