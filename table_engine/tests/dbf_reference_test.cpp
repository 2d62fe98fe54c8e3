// DBF files checked against independent readers and writers (python3-dbfread, python3-dbf).

#include <gtest/gtest.h>

#include "table_engine/tests/python_reference.h"
#include "table_engine/table.h"
#include "table_engine/table_errors.h"

namespace ql::xb {
namespace {

using ql::testing::RunPython;
using ql::testing::TempDir;

const std::vector<FieldSpec> kFields = {
    {"NAME", 'C', 12, 0}, {"BORN", 'D', 8, 0}, {"PAGES", 'N', 5, 1}, {"DONE", 'L', 1, 0}};

TEST(DbfReference, RowsAndDeletionMarksReadByDbfread) {
  TempDir dir;
  const auto path = dir / "PEOPLE.DBF";
  ASSERT_EQ(Table::Create(path, kFields), xbOK);
  Table t;
  ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
  struct Row { const char* name; const char* born; const char* pages; const char* done; bool deleted; };
  const Row rows[] = {{"Zoë €uro", "20240115", "12.5", "T", false},
                      {"中文 name", "", "", "F", true},
                      {"a much longer name than twelve", "19991231", "-3", ".T.", false}};
  for (const Row& r : rows) {
    ASSERT_EQ(t.AppendBlank(), xbOK);
    ASSERT_EQ(t.Replace("name", r.name), xbOK);
    ASSERT_EQ(t.Replace("BORN", r.born), xbOK);
    ASSERT_EQ(t.Replace("Pages", r.pages), xbOK);
    ASSERT_EQ(t.Replace("DONE", r.done), xbOK);
    if (r.deleted) {
      ASSERT_EQ(t.Delete(), xbOK);
    }
    ASSERT_EQ(t.PutRecord(), xbOK);
  }
  ASSERT_EQ(t.Close(), xbOK);
  const std::string out = RunPython(dir, R"(
import dbfread
t = dbfread.DBF(')" + path.string() + R"(', encoding='cp1252', load=True)
print(t.header.language_driver, len(t.records), len(t.deleted))
for r in t.records: print(repr(r['NAME']), r['BORN'], r['PAGES'], r['DONE'])
for r in t.deleted: print('deleted', repr(r['NAME']), r['BORN'], r['DONE'])
)");
  EXPECT_EQ(out,
            "3 2 1\n"
            "'Zoë €uro' 2024-01-15 12.5 True\n"
            "'a much longe' 1999-12-31 -3.0 True\n"
            "deleted '?? name' None False\n");
  // The other reference opens it too, with its stricter header checks.
  EXPECT_EQ(RunPython(dir, R"(
import dbf
t = dbf.Table(')" + path.string() + R"(')
t.open(dbf.READ_ONLY)
print(t.codepage.name, len(t), sum(1 for r in t if dbf.is_deleted(r)), t[0].name.strip(), t[2].pages)
)"),
            "cp1252 3 1 Zoë €uro -3.0\n");
}

TEST(DbfReference, ReadsTableWrittenByPythonDbf) {
  TempDir dir;
  const auto path = dir / "OTHER.DBF";
  const std::string out = RunPython(dir, R"(
import dbf, datetime
t = dbf.Table(')" + path.string() + R"(', 'NAME C(20); WHEN D; COUNT N(6,2); OK L', codepage='cp1252', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append(('Müller', datetime.date(2023, 2, 28), 17.25, True))
t.append(('second', None, -1, False))
dbf.delete(t[1])
t.close()
print('ok')
)");
  ASSERT_EQ(out, "ok\n");
  Table t;
  ASSERT_EQ(t.Open(path, OpenMode::ReadOnly), xbOK);
  ASSERT_EQ(t.RecCount(), 2u);
  std::string s;
  ASSERT_EQ(t.Go(1), xbOK);
  t.GetString("NAME", s);
  EXPECT_EQ(s, "Müller");
  t.GetDateString("when", s);
  EXPECT_EQ(s, "20230228");
  double d = 0;
  t.GetNumber("COUNT", d);
  EXPECT_DOUBLE_EQ(d, 17.25);
  bool ok = false;
  t.GetLogical("OK", ok);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(t.Deleted());
  ASSERT_EQ(t.Go(2), xbOK);
  EXPECT_TRUE(t.Deleted());
  t.GetDateString("WHEN", s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(t.Replace("NAME", "x"), xbReadOnly);
}

TEST(DbfReference, DamagedFilesFailToOpenWithACode) {
  TempDir dir;
  const auto path = dir / "T.DBF";
  ASSERT_EQ(Table::Create(path, kFields), xbOK);
  {
    Table t;
    ASSERT_EQ(t.Open(path, OpenMode::Exclusive), xbOK);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(t.AppendBlank(), xbOK);
  }
  std::string bytes = ql::testing::ReadFile(path);
  Table t;
  ql::testing::WriteFile(path, bytes.substr(0, bytes.size() - 20));  // truncated rows
  EXPECT_EQ(t.Open(path, OpenMode::Shared), xbBadFile);
  ql::testing::WriteFile(path, bytes.substr(0, 40));  // truncated header
  EXPECT_EQ(t.Open(path, OpenMode::Shared), xbBadFile);
  ql::testing::WriteFile(path, std::string(600, 'x'));
  EXPECT_EQ(t.Open(path, OpenMode::Shared), xbBadFile);
  EXPECT_EQ(t.Open(dir / "MISSING.DBF", OpenMode::Shared), xbFileNotFound);
  EXPECT_EQ(Table::Create(dir / "BAD.DBF", {{"1BAD", 'C', 5, 0}}), xbBadArgument);
  EXPECT_EQ(Table::Create(dir / "BAD.DBF", {{"WIDE", 'C', 300, 0}}), xbBadArgument);
  EXPECT_FALSE(std::filesystem::exists(dir / "BAD.DBF"));
}

}  // namespace
}  // namespace ql::xb
