// The qlfax commands on the tables: phonebook add and list, as scripts use them.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/data_folder.h"
#include "table_engine/tests/python_reference.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using ql::testing::TempDir;

using Result = ql::testing::ProgramResult;

Result Qlfax(const TempDir& home, const std::string& args) {
  return ql::testing::RunProgram("qlfax", "--home '" + home.path().string() + "' " + args);
}

TEST(QlfaxTables, PhonebookAddThenListInNameOrder) {
  TempDir home;
  EXPECT_EQ(Qlfax(home, "phonebook add 'müller' 030-1").status, 0);
  EXPECT_EQ(Qlfax(home, "phonebook add Able 555").status, 0);
  const Result list = Qlfax(home, "list phonebook");
  ASSERT_EQ(list.status, 0) << list.out;
  EXPECT_EQ(list.out, "RECNO\tNAME\tPHONE\n2\tAble\t555\n1\tmüller\t030-1\n");
  // The rows as an independent reader sees them.
  EXPECT_EQ(ql::testing::RunPython(home, "import dbfread\nfor r in dbfread.DBF('" + (home / "QLPB.DBF").string() +
                                             "', encoding='cp1252'): print(r['NAME'], r['PHONE'])\n"),
            "müller 030-1\nAble 555\n");
  EXPECT_EQ(Qlfax(home, "phonebook add OnlyName").status, 2);
}

TEST(QlfaxTables, ListCreatesMissingTablesAndRejectsUnknownTags) {
  TempDir home;
  const Result out = Qlfax(home, "list outgoing --order DATESENT");
  ASSERT_EQ(out.status, 0) << out.out;
  EXPECT_EQ(out.out.substr(0, 14), "RECNO\tSUBJECT\t");
  EXPECT_TRUE(std::filesystem::exists(home / "QLOUT.CDX"));
  const Result bad = Qlfax(home, "list received --order NOPE");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("DATETIME FROM ARCHIVED"), std::string::npos) << bad.out;
  ql::testing::WriteFile(home / "QLREC.DBF", "not a table");
  const Result broken = Qlfax(home, "list received");
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.out.find("Unable to open/create the FAX RECEIVE datafile"), std::string::npos);
}

}  // namespace
