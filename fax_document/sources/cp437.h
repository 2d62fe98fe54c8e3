#pragma once
// Code page 437, the character set of the fax font: the Unicode character each code
// shows, and text in UTF-8 turned into code page 437 codes.

#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

// Codes 0, 32 and 255 map to 0 (drawn blank).
char32_t Cp437ToUnicode(uint8_t code);

// When `text` is valid UTF-8 holding characters beyond ASCII, returns it in code page 437
// (characters the code page lacks become '?') and true; otherwise leaves `out` alone and
// returns false, so that text already in code page 437 is taken as it is.
bool Utf8ToCp437(std::string_view text, std::string& out);

}  // namespace ql
