#include "platform/single_instance/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QProcess>

#include "tests/support/temp_dir.h"

namespace ql {
namespace {

int argc = 1;
char arg0[] = "single_instance_test";
char* argv[] = {arg0, nullptr};

QCoreApplication& App() {
  static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;
  return *QCoreApplication::instance();
}

TEST(SingleInstance, SecondClaimFailsAndRaisesTheFirst) {
  App();
  testing::TempDir dir;
  TJustOne first(dir.path(), "ql");
  ASSERT_TRUE(first.Claim());
  QSignalSpy raised(&first, &TJustOne::RaiseRequested);

  TJustOne second(dir.path(), "ql");
  EXPECT_FALSE(second.Claim());
  EXPECT_TRUE(raised.wait(2000));
  EXPECT_EQ(raised.count(), 1);
}

TEST(SingleInstance, OtherFoldersAndProgramsAreIndependent) {
  App();
  testing::TempDir a;
  testing::TempDir b;
  TJustOne one(a.path(), "ql");
  TJustOne other(b.path(), "ql");
  TJustOne picker(a.path(), "qlpick");
  EXPECT_TRUE(one.Claim());
  EXPECT_TRUE(other.Claim());
  EXPECT_TRUE(picker.Claim());
  EXPECT_NE(TJustOne::SocketName(a.path(), "ql"), TJustOne::SocketName(b.path(), "ql"));
}

TEST(SingleInstance, ReleasedLockCanBeClaimedAgain) {
  App();
  testing::TempDir dir;
  {
    TJustOne first(dir.path(), "ql");
    ASSERT_TRUE(first.Claim());
  }
  TJustOne again(dir.path(), "ql");
  EXPECT_TRUE(again.Claim());
}

TEST(SingleInstance, LockOfADeadProcessIsTakenOver) {
  App();
  testing::TempDir dir;
  // A lock file naming a process that no longer runs, as a crash leaves it.
  QProcess gone;
  gone.start("true");
  ASSERT_TRUE(gone.waitForFinished(5000));
  const qint64 deadPid = gone.processId() != 0 ? gone.processId() : 999999;
  testing::WriteFile(dir.path() / "ql.lock",
                     std::to_string(deadPid) + "\nsingle_instance_test\n" + QSysInfo::machineHostName().toStdString() + "\n");
  TJustOne next(dir.path(), "ql");
  EXPECT_TRUE(next.Claim());
}

}  // namespace
}  // namespace ql
