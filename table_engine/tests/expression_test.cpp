// xBase expressions: values, operators, functions and rejected input.

#include <gtest/gtest.h>

#include "table_engine/expression.h"
#include "table_engine/table_errors.h"

namespace ql::xb {
namespace {

// NAME C 8, WHEN D 8, N N 6.2, OK L 1.
const std::vector<DbfField> kFields = {
    {"NAME", 'C', 8, 0, 1}, {"WHEN", 'D', 8, 0, 9}, {"N", 'N', 6, 2, 17}, {"OK", 'L', 1, 0, 23}};

struct Row {
  std::string record;
  Row(bool deleted, std::string name, std::string when, std::string n, char ok) {
    name.resize(8, ' ');
    when.resize(8, ' ');
    n.insert(0, 6 - n.size(), ' ');
    record = std::string(1, deleted ? '*' : ' ') + name + when + n + ok;
  }
  RowView View(uint32_t recno = 7) const { return {record, recno}; }
};

Value Eval(const std::string& text, const Row& row) {
  Expression e;
  EXPECT_EQ(e.Compile(text, kFields), xbOK) << text;
  return e.Evaluate(row.View());
}

TEST(Expression, FieldsFunctionsAndOperators) {
  const Row row(false, "Smith", "20240115", "12.50", 'T');
  EXPECT_EQ(Eval("upper(name)", row).text, "SMITH   ");
  EXPECT_EQ(Eval("LOWER(Name)", row).text, "smith   ");
  EXPECT_EQ(Eval("TRIM(NAME)+'!'", row).text, "Smith!");
  EXPECT_EQ(Eval("RTRIM(NAME)+\"x\"+[y]", row).text, "Smithxy");
  EXPECT_EQ(Eval("DTOS(WHEN)+NAME", row).text, "20240115Smith   ");
  EXPECT_DOUBLE_EQ(Eval("N * 2 - 1", row).number, 24.0);
  EXPECT_DOUBLE_EQ(Eval("RECNO() + 1", row).number, 8.0);
  EXPECT_TRUE(Eval("OK", row).logical);
  EXPECT_TRUE(Eval(".not. deleted()", row).logical);
  EXPECT_TRUE(Eval("!DELETED() .AND. OK .OR. .F.", row).logical);
  EXPECT_FALSE(Eval(".NOT. OK", row).logical);
  EXPECT_TRUE(Eval("NAME = 'Smi'", row).logical);   // inexact: a prefix matches
  EXPECT_FALSE(Eval("NAME == 'Smi'", row).logical);
  EXPECT_TRUE(Eval("NAME == 'Smith'", row).logical);  // trailing blanks do not count
  EXPECT_TRUE(Eval("NAME <> 'Jones'", row).logical);
  EXPECT_TRUE(Eval("'mit' $ NAME", row).logical);
  EXPECT_TRUE(Eval("N >= 12.5 .and. N < 13", row).logical);
  EXPECT_TRUE(Eval("'a' > 'B'", row).logical);  // machine collation: byte order
  EXPECT_TRUE(Eval("(.T. .OR. .F.) .AND. .NOT. (.F.)", row).logical);
}

TEST(Expression, BlankDatesSortFirstAndDeletedRows) {
  const Row blank(true, "", "", "", ' ');
  EXPECT_EQ(Eval("DTOS(WHEN)", blank).text, "        ");
  EXPECT_TRUE(Eval("DELETED()", blank).logical);
  EXPECT_TRUE(Eval("EMPTY(WHEN) .AND. EMPTY(NAME) .AND. EMPTY(N)", blank).logical);
  EXPECT_TRUE(Eval("DTOS(WHEN) < '19000101'", blank).logical);
  EXPECT_FALSE(Eval("OK", blank).logical);
}

TEST(Expression, StaticWidthsAndTypes) {
  Expression e;
  ASSERT_EQ(e.Compile("DTOS(WHEN)+NAME", kFields), xbOK);
  EXPECT_EQ(e.Type(), ValueType::Character);
  EXPECT_EQ(e.Width(), 16);
  ASSERT_EQ(e.Compile(".not. deleted()", kFields), xbOK);
  EXPECT_TRUE(e.UsesDeleted());
  ASSERT_EQ(e.Compile("OK", kFields), xbOK);
  EXPECT_EQ(e.Type(), ValueType::Logical);
}

TEST(Expression, MalformedInputIsAnErrorCode) {
  Expression e;
  for (const char* bad : {"", "NOSUCH", "NAME +", "UPPER(", "UPPER(N)", "NAME + N", "'open", ".NOT. NAME",
                          "DTOS(NAME)", "(((", "NAME = 3", ".FOO.", "N $ N", "RECNO(1)", "@", "1 2",
                          "UNKNOWN(NAME)", "OK .AND.", "-NAME"}) {
    EXPECT_EQ(e.Compile(bad, kFields), xbBadExpression) << bad;
    EXPECT_FALSE(e.IsCompiled());
  }
  EXPECT_EQ(e.Compile(std::string(5000, '('), kFields), xbBadExpression);
  EXPECT_EQ(e.Compile(std::string(300, '(') + "OK" + std::string(300, ')'), kFields), xbBadExpression);
  std::string deep;
  for (int i = 0; i < 600; ++i) deep += ".NOT. ";
  EXPECT_EQ(e.Compile(deep + "OK", kFields), xbBadExpression);
}

}  // namespace
}  // namespace ql::xb
