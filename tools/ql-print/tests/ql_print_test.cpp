// ql-print as a user or a script runs it: documents made by Ghostscript go in, faxes come
// out in the send folder with their descriptors, page for page as Ghostscript's own fax
// device renders them; failures leave nothing behind. And its listener, fed by the CUPS
// backend program run by hand as CUPS would run it.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

#include "app/pickup/driver_files.h"
#include "fax_document/apf/apf_file.h"
#include "fax_document/imports/tests/import_fixtures.h"
#include "picker/driver_handover.h"
#include "platform/data_folder.h"
#include "platform/single_instance/single_instance.h"
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

class QlPrintTest : public ::testing::Test {
 protected:
  QlPrintTest() {
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "ql-print-test";
      static char* argv[] = {name, nullptr};
      new QCoreApplication(argc, argv);
    }
    home = dir_.path() / "home";
    fs::create_directories(home);
    setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_.path() / "data").c_str(), 1);
    setenv("TMPDIR", MakeFolder("tmp").c_str(), 1);
    // Qt keeps its runtime folder apart from the temporary files checked here.
    setenv("XDG_RUNTIME_DIR", MakeFolder("run").c_str(), 1);
    fs::permissions(dir_.path() / "run", fs::perms::owner_all);
    unsetenv("QUILLET_HOME");
    const std::string unique = std::to_string(::getpid()) + "-" + std::to_string(counter_++);
    setenv("QUILLET_DRIVER_SOCKET", ("ql-print-test-dialog-" + unique).c_str(), 1);
    setenv("QUILLET_PRINT_SOCKET", ("ql-print-test-" + unique).c_str(), 1);
  }
  ~QlPrintTest() override { RestoreTmp(); }
  fs::path MakeFolder(const std::string& name) const {
    fs::create_directories(dir_.path() / name);
    return dir_.path() / name;
  }
  fs::path Send() const { return home / "SEND"; }
  fs::path Pdf(int pages, const std::string& name = "doc.pdf") const {
    const fs::path pdf = dir_.path() / name;
    EXPECT_TRUE(testing::MakePdf(testing::SamplePostScript(pages, 612, 792), pdf));
    return pdf;
  }
  testing::ProgramResult Print(const std::string& arguments) const {
    return testing::RunProgram("ql-print", "--home " + Quote(home) + " " + arguments);
  }
  static void ExpectSamePages(const fs::path& apf, const fs::path& document, bool fine, size_t pages) {
    const auto ours = testing::ApfPages(apf);
    const auto reference = testing::GhostscriptFaxPages(document, fine);
    ASSERT_EQ(reference.size(), pages);
    ASSERT_EQ(ours.size(), pages);
    for (size_t p = 0; p < pages; ++p) {
      EXPECT_EQ(ours[p].width, reference[p].width) << "page " << p + 1;
      EXPECT_TRUE(ours[p].rows == reference[p].rows) << "page " << p + 1 << " differs from Ghostscript's";
    }
  }

  testing::TempDir dir_;
  fs::path home;
  static inline int counter_ = 0;
};

TEST_F(QlPrintTest, AThreePagePdfBecomesAFaxAsGhostscriptRendersIt) {
  const fs::path pdf = Pdf(3);
  const auto r = Print("--to 555-0100 --recipient R --subject S " + Quote(pdf));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("PRN00000.APF: 3 pages"), std::string::npos) << r.out;
  EXPECT_EQ(Files(Send()), (std::vector<std::string>{"PRN00000.APF", "PRN00000.ORQ"}));
  const auto descriptor = ReadDescriptor(Send() / "PRN00000.ORQ");
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->number, "555-0100");
  EXPECT_EQ(descriptor->recipient, "R");
  EXPECT_EQ(descriptor->subject, "S");
  ApfPageHeader page;
  ASSERT_EQ(ReadApfPageHeader(Send() / "PRN00000.APF", 1, page), 0);
  EXPECT_TRUE(page.HighRes());
  ExpectSamePages(Send() / "PRN00000.APF", pdf, true, 3);
  EXPECT_TRUE(Files(dir_.path() / "tmp").empty()) << ::testing::PrintToString(Files(dir_.path() / "tmp"));
}

TEST_F(QlPrintTest, PostScriptOnStandardInputAtNormalResolution) {
  const fs::path ps = dir_.path() / "doc.ps";
  testing::WriteText(ps, testing::SamplePostScript(2, 612, 792));
  const auto r = Print("--normal --to 1 < " + Quote(ps));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto descriptor = ReadDescriptor(Send() / "PRN00000.ORQ");
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->subject, "Printed document");
  EXPECT_EQ(descriptor->recipient, "");
  ApfPageHeader page;
  ASSERT_EQ(ReadApfPageHeader(Send() / "PRN00000.APF", 1, page), 0);
  EXPECT_FALSE(page.HighRes());
  ExpectSamePages(Send() / "PRN00000.APF", ps, false, 2);
  EXPECT_TRUE(Files(dir_.path() / "tmp").empty()) << ::testing::PrintToString(Files(dir_.path() / "tmp"));  // the saved input is gone
}

TEST_F(QlPrintTest, WhatCannotBeFaxedFailsAndLeavesNothing) {
  const fs::path pdf = Pdf(2);
  const fs::path cut = dir_.path() / "cut.pdf";
  testing::WriteFile(cut, testing::ReadFile(pdf).substr(0, 300));
  const fs::path text = dir_.path() / "notes.txt";
  testing::WriteFile(text, "plain text is for qlfax convert\n");
  for (const fs::path& bad : {cut, text, dir_.path() / "missing.pdf"}) {
    const auto r = Print("--to 1 " + Quote(bad));
    EXPECT_EQ(r.status, 1) << bad << ": " << r.out;
    EXPECT_NE(r.out.find("ql-print: "), std::string::npos) << r.out;
    EXPECT_TRUE(Files(Send()).empty()) << bad;
  }
  EXPECT_TRUE(Files(dir_.path() / "tmp").empty()) << ::testing::PrintToString(Files(dir_.path() / "tmp"));
  for (const char* wrong : {"--to", "--to '' x.pdf", "a.pdf b.pdf", "--listen x.pdf", "--fax"})
    EXPECT_EQ(Print(wrong).status, 2) << wrong;
}

TEST_F(QlPrintTest, WithoutAHomeTheFaxGoesWhereTheDeskSaid) {
  // The desk of another data folder wrote QLPD.INI at its start.
  const fs::path desk = MakeFolder("desk");
  SetDataFolder(desk);
  ASSERT_TRUE(WriteDriverIni(DriverIniPath()));
  const auto r = testing::RunProgram("ql-print", "--to 2 --subject Elsewhere " + Quote(Pdf(1)));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Files(desk / "SEND"), (std::vector<std::string>{"PRN00000.APF", "PRN00000.ORQ"}));
  EXPECT_FALSE(fs::exists(dir_.path() / "data" / "quillet" / "SEND" / "PRN00000.APF"));
}

TEST_F(QlPrintTest, SendNowBringsTheRunningDeskForward) {
  TJustOne desk(home, QStringLiteral("ql"));  // plays the running fax desk of this folder
  ASSERT_TRUE(desk.Claim());
  int raised = 0;
  QObject::connect(&desk, &TJustOne::RaiseRequested, [&] { ++raised; });
  const auto r = Print("--send-now --to 3 " + Quote(Pdf(1)));
  ASSERT_EQ(r.status, 0) << r.out;
  for (int i = 0; i < 200 && raised == 0; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(raised, 1);
  EXPECT_TRUE(fs::exists(Send() / "PRN00000.ORQ"));
}

// The listener, with the CUPS backend run by hand for this user.
class ListenerTest : public QlPrintTest {
 protected:
  void SetUp() override {
    listener_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    listener_.start(QString::fromStdString(testing::BuiltProgram("ql-print").string()),
                    {"--listen", "--home", QString::fromStdString(home.string())});
    ASSERT_TRUE(listener_.waitForStarted());
    while (!listener_.canReadLine() && listener_.waitForReadyRead(20000)) {
    }
    ASSERT_TRUE(listener_.readLine().startsWith("listening")) << listener_.readAll().toStdString();
  }
  void TearDown() override {
    if (listener_.state() != QProcess::NotRunning) {
      ::kill(static_cast<pid_t>(listener_.processId()), SIGTERM);
      listener_.waitForFinished(10000);
    }
  }
  // quillet-fax JOB USER TITLE COPIES OPTIONS FILE, as CUPS starts it.
  static testing::ProgramResult RunBackend(const std::string& user, const std::string& options,
                                           const fs::path& file) {
    const fs::path backend = fs::path(QL_BINARY_DIR) / "lib" / "quillet" / "quillet-fax";
    testing::ProgramResult r;
    const std::string command = Quote(backend) + " 7 " + user + " Minutes 1 '" + options + "' " + Quote(file) + " 2>&1";
    if (FILE* p = ::popen(command.c_str(), "r")) {
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
      const int status = ::pclose(p);
      r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
  }
  static std::string Me() { return ::getpwuid(::getuid())->pw_name; }
  QProcess listener_;
};

TEST_F(ListenerTest, AJobThatNamesItsNumberIsDroppedAtOnce) {
  const fs::path pdf = Pdf(2);
  const auto r = RunBackend(Me(),
                            "fax-number=555-0100 fax-recipient=Acme\\ Inc finishings=3", pdf);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Files(Send()), (std::vector<std::string>{"PRN00000.APF", "PRN00000.ORQ"}));
  const auto descriptor = ReadDescriptor(Send() / "PRN00000.ORQ");
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->number, "555-0100");
  EXPECT_EQ(descriptor->recipient, "Acme Inc");
  EXPECT_EQ(descriptor->subject, "Minutes");  // the job's title
  ExpectSamePages(Send() / "PRN00000.APF", pdf, true, 2);
  EXPECT_TRUE(Files(dir_.path() / "tmp").empty()) << ::testing::PrintToString(Files(dir_.path() / "tmp"));
}

TEST_F(ListenerTest, ADocumentThatCannotBeFaxedFailsTheJobAndLeavesNothing) {
  const fs::path junk = dir_.path() / "junk.pdf";
  testing::WriteFile(junk, "%PDF-1.4\nthis is not a PDF after all\n");
  const auto r = RunBackend(Me(), "fax-number=1", junk);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("ERROR: "), std::string::npos) << r.out;
  EXPECT_TRUE(Files(Send()).empty());
  EXPECT_TRUE(Files(dir_.path() / "tmp").empty()) << ::testing::PrintToString(Files(dir_.path() / "tmp"));
}

TEST_F(ListenerTest, AJobWithoutNumberAsksInTheDialogAndAStopLeavesNothing) {
  const auto r = RunBackend(Me(), "", Pdf(1));
  ASSERT_EQ(r.status, 0) << r.out;  // handed over: the rest is the user's
  // The dialog is up: the picker's hand-over reaches it.
  THandOverResult handed = THandOverResult::hoNoDialog;
  for (int i = 0; i < 100 && handed != THandOverResult::hoDone; ++i) {
    handed = HandOverToDriverDialog("555-0102", "Bea", 1000);
    if (handed != THandOverResult::hoDone) std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(handed, THandOverResult::hoDone);
  // Nothing is dropped before the user says so, and stopping the listener discards it.
  ::kill(static_cast<pid_t>(listener_.processId()), SIGTERM);
  ASSERT_TRUE(listener_.waitForFinished(10000));
  EXPECT_TRUE(Files(Send()).empty()) << ::testing::PrintToString(Files(Send()));
  EXPECT_TRUE(Files(dir_.path() / "tmp").empty()) << ::testing::PrintToString(Files(dir_.path() / "tmp"));
}

TEST_F(ListenerTest, OnlyRootAndTheUserMayHandInJobs) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const passwd* nobody = ::getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  const std::string name = print::ListenerSocketName(::getuid());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(10);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address),
                  static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) != 0)
      ::_exit(11);
    const std::string job = std::string(print::kJobMagic) + "\ntitle spam\noption fax-number 1\n\n5\n%PDF-0\n";
    // The listener may refuse before reading it all: no SIGPIPE for that.
    [[maybe_unused]] const ssize_t sent = ::send(fd, job.data(), job.size(), MSG_NOSIGNAL);
    char answer[256] = {};
    const ssize_t n = ::read(fd, answer, sizeof answer - 1);
    ::_exit(n > 4 && std::string(answer).starts_with("ERR ") ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit " << WEXITSTATUS(status);
  EXPECT_TRUE(Files(Send()).empty());
}

}  // namespace
}  // namespace ql
