// Any text as an expression: compiling either fails with a code or gives an expression
// that evaluates without crashing.

#include <cstdint>
#include <string>
#include <vector>

#include "table_engine/expression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ql::xb;
  static const std::vector<DbfField> fields = {
      {"NAME", 'C', 8, 0, 1}, {"WHEN", 'D', 8, 0, 9}, {"N", 'N', 6, 2, 17}, {"OK", 'L', 1, 0, 23}};
  static const std::string record = " Smith   20240115 12.50T";
  Expression e;
  if (e.Compile(std::string(reinterpret_cast<const char*>(data), size), fields) != 0) return 0;
  e.Evaluate({record, 3});
  e.IsTrue({record, 3});
  return 0;
}
