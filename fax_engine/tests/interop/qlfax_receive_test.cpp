// qlfax receive as a user runs it: waiting on a virtual modem, a far machine calls, the
// fax is kept in the folder and shown by qlfax info and render; and a disk that fills
// up during a page (a file-size limit on the program) ends that call with -160 and
// leaves the fax received before it whole.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include "fax_engine/tests/interop/receive_fixture.h"

namespace ql::testing {
namespace {

const std::string kQlfax = std::string(QL_BINARY_DIR) + "/bin/qlfax";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Waits until the file holds `text` at least `times` times.
bool WaitForText(const std::filesystem::path& file, const std::string& text, double seconds, size_t times = 1) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (Count(ReadFile(file), text) >= times) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// Runs a program whose files may grow to at most `fileLimit` bytes; the signal that
// would stop it at the limit is ignored, so its writes fail as on a full disk.
pid_t SpawnLimited(const std::vector<std::string>& args, const std::filesystem::path& output, rlim_t fileLimit) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{fileLimit, fileLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out);
  return pid;
}

class QlfaxReceive : public ReceiveTest {
 protected:
  void SetUp() override { line = std::make_unique<FaxLine>(dir / "vline", std::vector<std::string>{"ttyFAX0=100"},
                                                           std::vector<std::string>{"200"}); }
  std::vector<std::string> Command(bool once) const {
    std::vector<std::string> args = {kQlfax, "--home", (dir / "home").string(), "receive", "--device",
                                     line->Link("ttyFAX0").string(), "--class", "1", "--dir", (dir / "in").string(),
                                     "--station", kReceiverId, "--history", (dir / "FAXLOG.HIS").string()};
    if (once) args.insert(args.end(), {"--once", "--log", (dir / "session.log").string()});
    return args;
  }
  std::filesystem::path Output() const { return dir / "qlfax.out"; }
};

TEST_F(QlfaxReceive, KeepsAFaxAndEndsAfterOneCall) {
  const auto tiff = Document("letter", {2, 6, true, false});
  const pid_t qlfax = Spawn(Command(true), Output());
  ASSERT_TRUE(WaitForText(Output(), "Waiting for incoming call", 30)) << ReadFile(Output());
  FarMachineSends(tiff);
  ASSERT_EQ(WaitForExit(qlfax, 240), 0) << ReadFile(Output()) << Trace();
  const std::string file = (dir / "in" / "FAX0001.APF").string();
  const std::string out = ReadFile(Output());
  EXPECT_NE(out.find("Received " + file + " from FAR SENDER, 2 pages at 14400 bit/s: OK"), std::string::npos) << out;
  EXPECT_NE(out.find("Getting page data (page 2)"), std::string::npos) << out;
  ExpectKept(file, tiff);

  const auto info = dir / "info.out";
  ASSERT_EQ(WaitForExit(Spawn({kQlfax, "info", file}, info), 30), 0);
  EXPECT_NE(ReadFile(info).find("Pages: 2"), std::string::npos) << ReadFile(info);
  EXPECT_NE(ReadFile(info).find("Station ID: FAR SENDER"), std::string::npos) << ReadFile(info);
  ASSERT_EQ(WaitForExit(Spawn({kQlfax, "render", file, "--page", "2", "-o", (dir / "p2.png").string()}, info), 30), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "p2.png"));
  // The session log tells the call: the far machine's frames decoded.
  EXPECT_NE(SessionLog().find("<= DCS: V.17 14400, fine"), std::string::npos) << SessionLog();
  EXPECT_NE(SessionLog().find("<= TSI: \"FAR SENDER\""), std::string::npos);
}

TEST_F(QlfaxReceive, ADiskThatFillsUpEndsTheCallAndKeepsTheFaxBefore) {
  const auto small = Document("small", {1, 4, false, false});
  const auto large = Document("large", {3, 14, true, false});
  std::error_code ec;
  const pid_t qlfax = SpawnLimited(Command(false), Output(), 16384);
  ASSERT_TRUE(WaitForText(Output(), "Waiting for incoming call", 30)) << ReadFile(Output());
  FarMachineSends(small);
  ASSERT_TRUE(WaitForText(Output(), ": OK", 240)) << ReadFile(Output()) << line->CallLog();
  ASSERT_TRUE(WaitForText(Output(), "Waiting for incoming call", 60, 2));
  FarMachineSends(large);
  const bool failed = WaitForText(Output(), "Not received", 300);
  ::kill(qlfax, SIGTERM);
  EXPECT_EQ(WaitForExit(qlfax, 30), 0);
  ASSERT_TRUE(failed) << ReadFile(Output()) << line->CallLog();
  EXPECT_NE(ReadFile(Output()).find("(-160)"), std::string::npos) << ReadFile(Output());
  ExpectKept((dir / "in" / "FAX0001.APF").string(), small);
  EXPECT_FALSE(std::filesystem::exists(dir / "in" / "FAX0002.APF"));
}

}  // namespace
}  // namespace ql::testing
