// The control interface and the program itself, as scripts use them.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "tools/qlvmodem/tests/line_fixture.h"

extern char** environ;

namespace ql::vmodem::testing {
namespace {

TEST(Control, BadRequestsAreRefusedWithAReason) {
  ql::testing::TempDir dir;
  RunningLine line({"--remote", "200"}, dir.path());
  EXPECT_EQ(line.Control("launch"), "ERROR unknown command 'launch' (status, send, received, fault, stop)\n");
  EXPECT_EQ(line.Control("fault 200 meteor").rfind("ERROR unknown fault 'meteor'", 0), 0u);
  EXPECT_EQ(line.Control("fault 200 noanswer soon").rfind("ERROR bad value 'soon'", 0), 0u);
  EXPECT_EQ(line.Control("send 200 /no/such.tif"), "ERROR no such file: /no/such.tif\n");
  EXPECT_EQ(line.Control("received 777"), "ERROR no remote at 777\n");
  EXPECT_EQ(line.Control("received 200"), "OK 0 sessions\n");
  EXPECT_EQ(line.Control("fault 200 slow 10"), "OK\n");
  std::string log = ql::testing::ReadFile(dir / "calls.log");
  EXPECT_NE(log.find("fault ordered for 200: slow 10 ms"), std::string::npos) << log;
}

TEST(Control, FailedDialIsRecordedForTheCaller) {
  ql::testing::TempDir dir;
  RunningLine line({"--remote", "200", "--speed", "max"}, dir.path());
  WriteTestTiff(dir / "page.tif");
  ASSERT_EQ(line.Control("fault 901 nodialtone"), "OK\n");
  ASSERT_EQ(line.Control("send 200 " + (dir / "page.tif").string()), "OK caller 901\n");
  ASSERT_TRUE(line.WaitFor("received 901", "OK 1 sessions", 20));
  EXPECT_NE(line.Control("received 901").find("result_text=dial failed: no dial tone\n"), std::string::npos);
}

TEST(Program, StartsALineAndStopsOnCommand) {
  ql::testing::TempDir dir;
  std::string program = std::string(QLVMODEM_PROGRAM);
  std::string folder = dir.path().string();
  std::vector<std::string> args = {program, "--dir", folder, "--modem", "ttyA=1", "--remote", "2"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 100 && !std::filesystem::exists(dir / "control"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "ttyA"));
  EXPECT_NE(ControlRequest(dir / "control", "status").find("remote 2 answering idle"), std::string::npos);
  EXPECT_EQ(ControlRequest(dir / "control", "stop"), "OK stopping\n");
  int status = -1;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "ttyA"));  // the link goes with the line
}

TEST(Program, RefusesBadArguments) {
  std::string program = std::string(QLVMODEM_PROGRAM);
  int status = std::system((program + " --modem nonsense 2>/dev/null").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
}  // namespace ql::vmodem::testing
