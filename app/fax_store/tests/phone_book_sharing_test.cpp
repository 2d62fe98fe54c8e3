// The phone book between two processes, as ql and qlpick share it: shared opens see each
// other's rows, an exclusive open waits for nobody else to have the table, and row locks
// keep two writers off one row.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "app/fax_store/fax_store.h"
#include "table_engine/table_errors.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using ql::testing::TempDir;
using xb::TTableEngine;
using xb::xbOK;

// Runs body in a child process; its return value is the exit status.
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

class PhoneBookSharing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartTableSession());
    xb::Env().SetLockTimeout(0);
  }
  void TearDown() override { xb::Env().SetLockTimeout(1); }
  TempDir dir;
};

TEST_F(PhoneBookSharing, SharedOpensSeeEachOthersRows) {
  TTableEngine book;
  ASSERT_TRUE(OpenPhoneDBF(book, false, dir.path()));
  ASSERT_EQ(AppendPhoneEntry(book, {"Zed", "9"}), xbOK);
  EXPECT_EQ(InChild([&] {
              TTableEngine other;
              if (!OpenPhoneDBF(other, false, dir.path())) return 1;
              if (other.QueryRecCount() != 1) return 2;
              return AppendPhoneEntry(other, {"Amy", "1"}) == xbOK ? 0 : 3;
            }),
            0);
  EXPECT_EQ(book.QueryRecCount(), 2);
  ASSERT_EQ(book.GoTop(), xbOK);
  PhoneEntry e;
  ASSERT_EQ(ReadPhone(book, e), xbOK);
  EXPECT_EQ(e.name, "Amy");  // the other process's row, found through the shared index
  EXPECT_EQ(book.Seek("Zed"), 1);
}

TEST_F(PhoneBookSharing, ExclusiveOpenFailsWhileAnotherHasTheTable) {
  TTableEngine book;
  ASSERT_TRUE(OpenPhoneDBF(book, false, dir.path()));
  EXPECT_EQ(InChild([&] {
              TTableEngine other;
              return OpenPhoneDBF(other, true, dir.path()) ? 1 : 0;
            }),
            0);
  book.Close();
  ASSERT_TRUE(OpenPhoneDBF(book, true, dir.path()));
  EXPECT_EQ(InChild([&] {
              TTableEngine other;
              return OpenPhoneDBF(other, false, dir.path()) ? 1 : 0;
            }),
            0);
}

TEST_F(PhoneBookSharing, RowLockKeepsAnotherWriterOff) {
  TTableEngine book;
  ASSERT_TRUE(OpenPhoneDBF(book, false, dir.path()));
  ASSERT_EQ(AppendPhoneEntry(book, {"Kim", "5"}), xbOK);
  ASSERT_EQ(book.Rlock(), xbOK);
  EXPECT_EQ(InChild([&] {
              TTableEngine other;
              if (!OpenPhoneDBF(other, false, dir.path()) || other.GoTop() != xbOK) return 1;
              if (other.Rlock() != xb::xbLocked) return 2;
              return WritePhoneEntry(other, {"Kim", "6"}) == xb::xbLocked ? 0 : 3;
            }),
            0);
  ASSERT_EQ(book.Unlock(), xbOK);
  EXPECT_EQ(InChild([&] {
              TTableEngine other;
              if (!OpenPhoneDBF(other, false, dir.path()) || other.GoTop() != xbOK) return 1;
              return WritePhoneEntry(other, {"Kim", "7"}) == xbOK ? 0 : 2;
            }),
            0);
  ASSERT_EQ(book.GoTop(), xbOK);
  PhoneEntry e;
  ASSERT_EQ(ReadPhone(book, e), xbOK);
  EXPECT_EQ(e.phone, "7");
}

}  // namespace
}  // namespace ql
