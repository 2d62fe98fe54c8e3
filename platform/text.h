#pragma once
// Small text helpers shared by every layer. Case rules are ASCII only: file names,
// INI keys and modem responses are compared this way.

#include <string>
#include <string_view>

namespace ql {

char AsciiUpper(char c);
char AsciiLower(char c);
std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace ql
