// The ql program as a user starts it: twice on one data folder.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

// Test programs live in build/tests, the programs in build/bin.
QString Program() {
  const auto tests = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  return QString::fromStdString((tests.parent_path() / "bin" / "ql").string());
}

TEST(QlProgram, SecondStartEndsAndLeavesTheFirstRunning) {
  testing::TempDir dir;
  IniFile ini(dir / "QL.INI");
  ini.WriteInteger("Modem", "ComPort", 0);  // not a first run: no Preferences at start
  ASSERT_TRUE(ini.Save());
  const QStringList args = {"--home", QString::fromStdString(dir.path().string())};

  QProcess first;
  first.start(Program(), args);
  ASSERT_TRUE(first.waitForStarted(5000));
  // The first instance is up once it has created its tables and taken the lock.
  for (int i = 0; i < 200 && !std::filesystem::exists(dir / "QLREC.CDX"); ++i) QThread::msleep(25);
  ASSERT_TRUE(std::filesystem::exists(dir / "ql.lock"));

  QProcess second;
  second.start(Program(), args);
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  first.waitForFinished(5000);
}

}  // namespace
}  // namespace ql
