// The Quillet-Fax printer in a CUPS server of the test's own: installed with
// ql-print --install-printer, a PDF printed with lp reaches the user's send folder as a
// fax; a job of a user without a listener, or whose listener socket someone else holds,
// fails in the queue with its reason and leaves nothing behind; --remove-printer takes the
// printer away again. cupsd runs only as root.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

#include "app/pickup/driver_files.h"
#include "fax_document/imports/tests/import_fixtures.h"
#include "tests/support/private_cups.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/ql-print/job_protocol.h"
#include "tools/ql-print/tests/print_test_support.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

using namespace std::chrono_literals;

using testing::Files;
using testing::Quote;
using testing::RestoreTmp;


class CupsPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "cupsd runs only as root";
    socketBase_ = "ql-cups-test-" + std::to_string(::getpid());
    setenv("QUILLET_PRINT_SOCKET", socketBase_.c_str(), 1);
    setenv("TMPDIR", Folder("tmp").c_str(), 1);
    // Qt keeps its runtime folder apart from the temporary files checked here.
    setenv("XDG_RUNTIME_DIR", Folder("run").c_str(), 1);
    fs::permissions(dir_ / "run", fs::perms::owner_all);
    setenv("XDG_CONFIG_HOME", Folder("config").c_str(), 1);
    cups_ = std::make_unique<testing::PrivateCups>(dir_ / "cups",
                                                   std::map<std::string, std::string>{{"QUILLET_PRINT_SOCKET", socketBase_}});
    std::string why;
    ASSERT_TRUE(cups_->Start(why)) << why;
    setenv("CUPS_SERVER", cups_->Socket().c_str(), 1);
    setenv("QUILLET_CUPS_SERVERBIN", cups_->ServerBin().c_str(), 1);
    setenv("XDG_CONFIG_DIRS", Folder("xdg").c_str(), 1);
    const auto installed = testing::RunProgram("ql-print", "--install-printer");
    ASSERT_EQ(installed.status, 0) << installed.out;
  }
  void TearDown() override {
    StopListener();
    cups_.reset();
    unsetenv("CUPS_SERVER");
    RestoreTmp();
  }
  fs::path Folder(const std::string& name) {
    fs::create_directories(dir_ / name);
    return dir_ / name;
  }
  fs::path Send() const { return dir_ / "home" / "SEND"; }
  void StartListener() {
    listener_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    listener_.start(QString::fromStdString(testing::BuiltProgram("ql-print").string()),
                    {"--listen", "--home", QString::fromStdString((dir_ / "home").string())});
    ASSERT_TRUE(listener_.waitForStarted());
    while (!listener_.canReadLine() && listener_.waitForReadyRead(20000)) {
    }
    ASSERT_TRUE(listener_.readLine().startsWith("listening"));
  }
  void StopListener() {
    if (listener_.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(listener_.processId()), SIGTERM);
    listener_.waitForFinished(10000);
  }
  // Prints and waits until the job is done; the job's id.
  std::string Print(const std::string& arguments) {
    const std::string out = cups_->Run("lp -d Quillet-Fax " + arguments);
    const size_t at = out.find("request id is ");
    EXPECT_NE(at, std::string::npos) << out;
    if (at == std::string::npos) return {};
    const std::string id = out.substr(at + 14, out.find(' ', at + 14) - at - 14);
    for (int i = 0; i < 600; ++i) {
      if (cups_->Run("lpstat -o Quillet-Fax").find(id) == std::string::npos) break;
      std::this_thread::sleep_for(50ms);
    }
    return id;
  }
  // What the queue shows of a finished job (its state message included).
  std::string Finished(const std::string& id) {
    const std::string all = cups_->Run("lpstat -l -W completed -o Quillet-Fax");
    const size_t at = all.find(id);
    if (at == std::string::npos) return {};
    const size_t next = all.find("\nQuillet-Fax-", at + id.size());
    return all.substr(at, next == std::string::npos ? std::string::npos : next - at);
  }
  fs::path Document(int pages) {
    const fs::path pdf = dir_ / "letter.pdf";
    EXPECT_TRUE(testing::MakePdf(testing::SamplePostScript(pages, 612, 792), pdf));
    return pdf;
  }
  // The spool's documents and our own temporary files: nothing may stay behind.
  void ExpectNothingLeft() {
    for (const auto& name : Files(cups_->Spool())) EXPECT_NE(name[0], 'd') << "spooled document " << name << " kept";
    EXPECT_TRUE(Files(dir_ / "tmp").empty());
  }

  testing::TempDir dir_;
  std::string socketBase_;
  std::unique_ptr<testing::PrivateCups> cups_;
  QProcess listener_;
};

TEST_F(CupsPrinterTest, APrintedPdfReachesTheUsersSendFolder) {
  struct stat backend {};
  ASSERT_EQ(::stat((cups_->ServerBin() / "backend" / "quillet-fax").c_str(), &backend), 0);
  EXPECT_EQ(backend.st_mode & 07777, 0700u);  // CUPS runs it as root
  EXPECT_EQ(backend.st_uid, 0u);
  EXPECT_TRUE(fs::exists(dir_ / "xdg" / "autostart" / "org.quillet.PrintListener.desktop"));
  EXPECT_NE(cups_->Run("lpstat -l -p Quillet-Fax").find("Quillet Fax"), std::string::npos);

  StartListener();
  const fs::path pdf = Document(3);
  const std::string id =
      Print("-o fax-number=555-0100 -o fax-recipient=Acme -o \"fax-subject='Order 12'\" " + Quote(pdf));
  EXPECT_NE(Finished(id), "");
  ASSERT_EQ(Files(Send()), (std::vector<std::string>{"PRN00000.APF", "PRN00000.ORQ"})) << Finished(id);
  const auto descriptor = ReadDescriptor(Send() / "PRN00000.ORQ");
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->number, "555-0100");
  EXPECT_EQ(descriptor->recipient, "Acme");
  EXPECT_EQ(descriptor->subject, "Order 12");
  EXPECT_EQ(testing::ApfPages(Send() / "PRN00000.APF").size(), 3u);
  ExpectNothingLeft();

  const auto removed = testing::RunProgram("ql-print", "--remove-printer");
  EXPECT_EQ(removed.status, 0) << removed.out;
  EXPECT_NE(cups_->Run("lpstat -p Quillet-Fax").find("Invalid destination"), std::string::npos)
      << cups_->Run("lpstat -p Quillet-Fax");
  EXPECT_FALSE(fs::exists(cups_->ServerBin() / "backend" / "quillet-fax"));
  EXPECT_FALSE(fs::exists(dir_ / "xdg" / "autostart" / "org.quillet.PrintListener.desktop"));
}

TEST_F(CupsPrinterTest, AJobOfAUserWithoutListenerFailsAndLeavesNothing) {
  StartListener();  // root's: it must not get nobody's job
  const std::string id = Print("-U nobody -o fax-number=1 " + Quote(Document(1)));
  const std::string job = Finished(id);
  EXPECT_NE(job.find("nobody"), std::string::npos) << job;
  EXPECT_NE(job.find("Quillet is not running for nobody"), std::string::npos) << job;
  EXPECT_TRUE(Files(Send()).empty());
  ExpectNothingLeft();
  // The queue goes on with the next job.
  Print("-o fax-number=2 " + Quote(Document(1)));
  EXPECT_EQ(Files(Send()).size(), 2u);
}

TEST_F(CupsPrinterTest, AListenerSocketHeldByAnotherUserGetsNothing) {
  // User nobody sits on root's socket name and reads whatever comes.
  const passwd* nobody = ::getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t squatter = ::fork();
  ASSERT_GE(squatter, 0);
  if (squatter == 0) {
    if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(10);
    const std::string name = print::ListenerSocketName(0);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address),
               static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) != 0 ||
        ::listen(fd, 4) != 0)
      ::_exit(11);
    [[maybe_unused]] const ssize_t w = ::write(ready[1], "r", 1);
    long got = 0;
    for (;;) {
      const int peer = ::accept(fd, nullptr, nullptr);
      if (peer < 0) break;
      char buffer[4096];
      ssize_t n;
      while ((n = ::read(peer, buffer, sizeof buffer)) > 0) got += n;
      ::close(peer);
      if (got > 0) ::_exit(12);  // a job's bytes reached the wrong user
    }
    ::_exit(0);
  }
  char byte;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  const std::string job = Finished(Print("-o fax-number=1 " + Quote(Document(1))));
  EXPECT_NE(job.find("not run by root"), std::string::npos) << job;
  ::kill(squatter, SIGTERM);
  int status = 0;
  ::waitpid(squatter, &status, 0);
  EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 12) << "the squatter received the job";
  ExpectNothingLeft();
}

}  // namespace
}  // namespace ql
