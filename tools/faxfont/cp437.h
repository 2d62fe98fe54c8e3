#pragma once
// The Unicode character that each code of code page 437 shows.

#include <cstdint>

namespace faxfont {

// Codes 0, 32 and 255 map to 0 (drawn blank).
char32_t Cp437ToUnicode(uint8_t code);

}  // namespace faxfont
