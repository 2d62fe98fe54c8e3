#pragma once
// xBase expressions for index keys, FOR conditions and filters:
//   field names (any case), 'text' "text" [text], numbers, .T. .F.,
//   .NOT. / ! , .AND. , .OR. , = == <> != # < <= > >= $ , + - * / and parentheses,
//   UPPER LOWER TRIM RTRIM LTRIM ALLTRIM DTOS EMPTY DELETED() RECNO().
// An expression is compiled once against a table's fields (names resolved, types
// checked) and then evaluated against raw records. Character values are the stored
// code page 1252 bytes and compare byte by byte (machine collation). Dates are held as
// their "YYYYMMDD" text, eight blanks when empty, so an empty date sorts first.
// "=" on character values follows xBase's inexact rule: "ABC" = "AB" is true.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table_engine/dbf_file.h"

namespace ql::xb {

enum class ValueType { Character, Numeric, Date, Logical };

struct Value {
  ValueType type = ValueType::Logical;
  std::string text;      // Character and Date
  double number = 0.0;   // Numeric
  bool logical = false;  // Logical
};

// The row an expression is evaluated on: the raw record (deletion flag first).
struct RowView {
  std::string_view record;
  uint32_t recno = 0;
};

struct ExprNode;

class Expression {
 public:
  Expression();
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  // Parses and checks text against the fields; returns xbOK or xbBadExpression.
  int Compile(std::string_view text, const std::vector<DbfField>& fields);
  bool IsCompiled() const { return root_ != nullptr; }
  const std::string& Text() const { return text_; }
  ValueType Type() const { return type_; }
  // Longest character result (fixed for keys made of fields); 8 for dates.
  int Width() const { return width_; }
  // Whether the expression reads the deletion flag.
  bool UsesDeleted() const { return usesDeleted_; }

  Value Evaluate(const RowView& row) const;
  // For conditions: a logical result that is true (any other type counts as false).
  bool IsTrue(const RowView& row) const;

 private:
  std::unique_ptr<ExprNode> root_;
  std::string text_;
  ValueType type_ = ValueType::Logical;
  int width_ = 0;
  bool usesDeleted_ = false;
};

}  // namespace ql::xb
