#pragma once
// Message texts of error codes. Each code has a string-table identifier:
// for a magnitude m (as a 16-bit value) of 100 to 199 it is 11800 + m, otherwise
// 11000 + (m div 1000) × 100 + (m mod 1000). -2001 → 11201, -150 → 11950.

#include <string>

namespace ql {

int ErrorTextId(int code);

// The string-table text of an identifier; empty when the table has none.
std::string StringTableText(int id);

// The text of a code, as loaded into an 80-character buffer (so at most 79 characters);
// empty when the table has no text for it.
std::string ErrorText(int code);

}  // namespace ql
