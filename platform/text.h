#pragma once
// Small text helpers shared by every layer. Case rules are ASCII only: file names,
// INI keys and modem responses are compared this way, whatever the locale, and bytes
// outside ASCII (code page or UTF-8 text) are left as they are.

#include <string>
#include <string_view>
#include <vector>

namespace ql {

char AsciiUpper(char c);
char AsciiLower(char c);
std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// What trimming removes unless told otherwise: spaces, tabs and line ends.
inline constexpr std::string_view kBlanks = " \t\r\n";

// The text without any of chars at its start, at its end, or at both ends. The result
// is a view into s: keep s alive while it is used.
std::string_view TrimLeft(std::string_view s, std::string_view chars = kBlanks);
std::string_view TrimRight(std::string_view s, std::string_view chars = kBlanks);
std::string_view Trim(std::string_view s, std::string_view chars = kBlanks);

// Lines of a text split at "\r\n", "\n" or "\r"; a line end at the very end adds no line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace ql
