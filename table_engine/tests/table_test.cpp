// The table: navigation in record and tag order, filters, hidden deleted rows, seek,
// writing, pack, damaged and stale indexes, and a process killed in the middle.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "table_engine/table.h"
#include "table_engine/table_engine.h"
#include "table_engine/table_errors.h"
#include "tests/support/temp_dir.h"

namespace ql::xb {
namespace {

using ql::testing::TempDir;

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir / "PB.DBF";
    ASSERT_EQ(Table::Create(path, {{"NAME", 'C', 10, 0}, {"N", 'N', 4, 0}, {"OK", 'L', 1, 0}}), xbOK);
    ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
    t.SetHideDeleted(true);
  }

  void Add(const std::string& name, int n, bool ok = false) {
    ASSERT_EQ(t.AppendBlank(), xbOK);
    ASSERT_EQ(t.Replace("NAME", name), xbOK);
    ASSERT_EQ(t.Replace("N", std::to_string(n)), xbOK);
    ASSERT_EQ(t.Replace("OK", ok ? "T" : "F"), xbOK);
    ASSERT_EQ(t.PutRecord(), xbOK);
  }

  std::string Names() {
    std::string out, s;
    for (t.GoTop(); !t.Eof(); t.Skip()) {
      t.GetString("NAME", s);
      out += s + ",";
    }
    return out;
  }

  std::string NamesBackward() {
    std::string out, s;
    for (t.GoBottom(); !t.Bof() && !t.Eof(); t.Skip(-1)) {
      t.GetString("NAME", s);
      out += s + ",";
    }
    return out;
  }

  TempDir dir;
  std::filesystem::path path;
  Table t;
};

TEST_F(TableTest, TagOrdersFiltersAndDeletedRows) {
  for (auto [name, n] : std::vector<std::pair<std::string, int>>{{"bob", 3}, {"Alice", 1}, {"carol", 2}, {"Dave", 5}})
    Add(name, n, n % 2 == 1);
  ASSERT_EQ(t.IndexTag({"NAME", "NAME", ".not. deleted()", false}), xbOK);
  ASSERT_EQ(t.IndexTag({"UNAME", "UPPER(NAME)", "", true}), xbOK);
  ASSERT_EQ(t.IndexTag({"N", "N", "", false}), xbOK);
  ASSERT_EQ(t.IndexTag({"OK", "OK", "", false}), xbOK);
  EXPECT_EQ(t.TagCount(), 4);
  EXPECT_EQ(t.TagName(2), "UNAME");
  EXPECT_EQ(t.TagArea("n"), 3);
  EXPECT_EQ(t.TagArea("NONE"), 0);

  EXPECT_EQ(Names(), "bob,Alice,carol,Dave,");
  t.SetOrder(1);
  EXPECT_EQ(Names(), "Alice,Dave,bob,carol,");  // as typed: upper case first
  EXPECT_EQ(NamesBackward(), "carol,bob,Dave,Alice,");
  t.SetOrder(2);
  EXPECT_EQ(Names(), "Dave,carol,bob,Alice,");  // descending
  t.SetOrder(3);
  EXPECT_EQ(Names(), "Alice,carol,bob,Dave,");

  // Changing a key moves the row; deleting hides it and takes it out of FOR tags.
  t.SetOrder(1);
  ASSERT_EQ(t.Seek("bob"), 1);
  ASSERT_EQ(t.Replace("NAME", "Aaron"), xbOK);
  EXPECT_EQ(Names(), "Aaron,Alice,Dave,carol,");
  ASSERT_EQ(t.Seek("Dave"), 1);
  ASSERT_EQ(t.Delete(), xbOK);
  EXPECT_EQ(Names(), "Aaron,Alice,carol,");
  t.SetOrder(3);
  EXPECT_EQ(Names(), "Alice,carol,Aaron,");
  EXPECT_EQ(t.QueryRecCount(), 3);
  t.SetHideDeleted(false);
  EXPECT_EQ(t.QueryRecCount(), 4);
  EXPECT_EQ(Names(), "Alice,carol,Aaron,Dave,");
  t.SetHideDeleted(true);

  // Filter: only rows passing it are visited and counted.
  ASSERT_EQ(t.Query(".not. OK"), xbOK);
  EXPECT_EQ(t.DBFilter(), ".not. OK");
  EXPECT_EQ(Names(), "carol,");
  EXPECT_EQ(t.QueryRecCount(), 1);
  EXPECT_EQ(t.Query("NAME +"), xbBadExpression);
  EXPECT_EQ(t.DBFilter(), ".not. OK");
  ASSERT_EQ(t.Query(""), xbOK);
  EXPECT_EQ(t.QueryRecCount(), 3);

  // Seek on the descending upper-case tag with a prefix; a miss is end of file.
  t.SetOrder(2);
  EXPECT_EQ(t.Seek("CAR"), 1);
  std::string s;
  t.GetString("NAME", s);
  EXPECT_EQ(s, "carol");
  EXPECT_EQ(t.Seek("ZED"), 0);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecNo(), t.RecCount() + 1);

  // Recall brings the row back into the FOR tag.
  t.SetHideDeleted(false);
  t.SetOrder(0);
  ASSERT_EQ(t.Go(4), xbOK);
  ASSERT_EQ(t.Recall(), xbOK);
  t.SetOrder(1);
  EXPECT_EQ(Names(), "Aaron,Alice,Dave,carol,");
}

TEST_F(TableTest, EndsOfTheTableAndSkipping) {
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecNo(), 1u);
  for (int i = 0; i < 5; ++i) Add("r" + std::to_string(i), i);
  ASSERT_EQ(t.GoTop(), xbOK);
  ASSERT_EQ(t.Skip(3), xbOK);
  EXPECT_EQ(t.RecNo(), 4u);
  ASSERT_EQ(t.Skip(-10), xbOK);
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecNo(), 1u);
  ASSERT_EQ(t.Skip(10), xbOK);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecNo(), 6u);
  ASSERT_EQ(t.Skip(-1), xbOK);
  EXPECT_EQ(t.RecNo(), 5u);
  EXPECT_EQ(t.Go(9), xbBadRecord);
  EXPECT_TRUE(t.Eof());
}

TEST_F(TableTest, ValuesAreCheckedAndCut) {
  Add("x", 1);
  EXPECT_EQ(t.Replace("NAME", "a value longer than ten"), xbOK);
  std::string s;
  t.GetString("NAME", s);
  EXPECT_EQ(s, "a value lo");
  EXPECT_EQ(t.Replace("N", "12345"), xbTypeMismatch);
  EXPECT_EQ(t.Replace("N", "abc"), xbTypeMismatch);
  EXPECT_EQ(t.Replace("OK", "maybe"), xbTypeMismatch);
  EXPECT_EQ(t.Replace("NOPE", "x"), xbNoSuchField);
  EXPECT_EQ(t.Replace("N", "-42"), xbOK);
  t.GetString("N", s);
  EXPECT_EQ(s, "-42");
}

TEST_F(TableTest, PackRemovesDeletedRowsAndRebuildsTags) {
  for (int i = 0; i < 300; ++i) Add("n" + std::to_string(1000 - i), i);
  ASSERT_EQ(t.IndexTag({"NAME", "NAME", ".NOT.DELETED()", false}), xbOK);
  for (uint32_t r = 1; r <= 300; r += 10) {
    ASSERT_EQ(t.Go(r), xbOK);
    ASSERT_EQ(t.Delete(), xbOK);
  }
  const auto before = std::filesystem::file_size(path);
  std::vector<int> progress;
  t.SetProgressHook([&](int p) { progress.push_back(p); });
  ASSERT_EQ(t.Pack(), xbOK);
  EXPECT_LT(std::filesystem::file_size(path), before);
  EXPECT_EQ(t.RecCount(), 270u);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  t.SetOrder(1);
  std::string first, s;
  ASSERT_EQ(t.GoTop(), xbOK);
  t.GetString("NAME", first);
  EXPECT_EQ(first, "n701") << "n1000 (row 1) was deleted";
  int rows = 0;
  for (t.GoTop(); !t.Eof(); t.Skip()) ++rows;
  EXPECT_EQ(rows, 270);
  Table shared;
  t.Close();
  EXPECT_EQ(shared.Open(path, OpenMode::Shared), xbOK);
  EXPECT_EQ(shared.Pack(), xbNeedExclusive);
}

TEST_F(TableTest, DamagedOrStaleIndexIsDroppedForRebuild) {
  Add("a", 1);
  ASSERT_EQ(t.IndexTag({"NAME", "NAME", "", false}), xbOK);
  ASSERT_EQ(t.Close(), xbOK);
  const auto cdx = Table::IndexPathFor(path);
  ql::testing::WriteFile(cdx, std::string(2048, '\x33'));
  ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
  EXPECT_FALSE(t.HasIndex());
  EXPECT_FALSE(std::filesystem::exists(cdx));
  ASSERT_EQ(t.IndexTag({"NAME", "NAME", "", false}), xbOK);
  ASSERT_EQ(t.Close(), xbOK);
  // An index whose key does not fit the table's fields is no use either.
  ASSERT_EQ(Table::Create(dir / "OTHER.DBF", {{"NAME", 'C', 30, 0}}), xbOK);
  std::filesystem::copy_file(cdx, dir / "OTHER.CDX");
  Table other;
  ASSERT_EQ(other.Open(dir / "OTHER.DBF", OpenMode::Exclusive), xbOK);
  EXPECT_FALSE(other.HasIndex());
}

// A child process appends rows and is killed before it closes the table: the rows it
// wrote are there and the index, left unfinished, is rebuilt instead of trusted.
TEST_F(TableTest, KilledWriterLeavesAnOpenableTable) {
  Add("first", 1);
  ASSERT_EQ(t.IndexTag({"NAME", "NAME", "", false}), xbOK);
  ASSERT_EQ(t.Close(), xbOK);
  const pid_t pid = ::fork();
  if (pid == 0) {
    Table child;
    if (child.Open(path, OpenMode::Exclusive) != xbOK) ::_exit(3);
    for (int i = 0; i < 50; ++i) {
      child.AppendBlank();
      child.Replace("NAME", "c" + std::to_string(i));
      child.PutRecord();
    }
    ::_exit(0);  // no Close: the index is never flushed
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
  EXPECT_EQ(t.RecCount(), 51u);
  EXPECT_FALSE(t.HasIndex());
  ASSERT_EQ(t.IndexTag({"NAME", "NAME", "", false}), xbOK);
  t.SetOrder(1);
  EXPECT_EQ(t.Seek("c49"), 1);
}

TEST(TableEngineEnv, AliasesWorkAreasAndSwitches) {
  TempDir dir;
  ASSERT_EQ(Table::Create(dir / "MY-T~1 X.DBF", {{"A", 'C', 1, 0}}), xbOK);
  TTableEngineEnv env;
  TTableEngine a(env), b(env);
  a.SetTableName(dir / "MY-T~1 X.DBF");
  b.SetTableName(dir / "MY-T~1 X.DBF");
  ASSERT_EQ(a.Open(OpenMode::Shared), xbOK);
  ASSERT_EQ(b.Open(OpenMode::ReadOnly), xbOK);
  EXPECT_EQ(a.Alias(), "MY_T_1_X");
  EXPECT_EQ(b.Alias(), "MY_T_1_X_1");
  EXPECT_EQ(env.WorkArea("my_t_1_x"), a.WorkAreaNumber());
  EXPECT_NE(a.WorkAreaNumber(), b.WorkAreaNumber());
  ASSERT_EQ(a.AppendBlank(), xbOK);
  ASSERT_EQ(a.Delete(), xbOK);
  EXPECT_EQ(b.QueryRecCount(), 1);
  env.SetDeleted(true);
  EXPECT_EQ(b.QueryRecCount(), 0);
  a.Close();
  EXPECT_EQ(env.WorkArea("MY_T_1_X"), 0);
  EXPECT_FALSE(TTableEngineEnv::Version().empty());
  EXPECT_EQ(GaugeKeyForPercent(40) & 0x7000, 0x7000);
}

}  // namespace
}  // namespace ql::xb
