#pragma once
// Text conversion between the program side (UTF-8) and the table files (Windows code
// page 1252). Characters that code page 1252 cannot hold become "?"; malformed UTF-8
// bytes do too, so a stored row never holds bytes the reader would misinterpret.

#include <string>
#include <string_view>

namespace ql::xb {

// The DBF language byte for code page 1252.
inline constexpr unsigned char kCodePage1252Mark = 0x03;

std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view s);
// Text from outside in UTF-8: kept as it is when it is valid UTF-8, else taken as code
// page 1252 (files written by Windows programs) and converted.
std::string TextToUtf8(std::string_view bytes);

// Upper and lower case of one code page 1252 byte (ASCII and the Latin letters).
unsigned char Cp1252Upper(unsigned char c);
unsigned char Cp1252Lower(unsigned char c);

}  // namespace ql::xb
