# Turns data/fonts/faxfont.bin into a C++ source that holds it as an array.
# Run as: cmake -DINPUT=... -DOUTPUT=... -P embed_font.cmake
file(READ ${INPUT} _hex HEX)
string(LENGTH "${_hex}" _length)
math(EXPR _bytes "${_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _array "${_hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" _array "${_array}")
file(WRITE ${OUTPUT}.tmp
"// Generated from data/fonts/faxfont.bin at build time; do not edit.\n"
"#include \"fax_document/sources/fax_font.h\"\n\n"
"namespace ql {\nnamespace {\nconst uint8_t kFaxFontData[${_bytes}] = {\n${_array}\n};\n}  // namespace\n\n"
"const uint8_t* FaxFontResource() { return kFaxFontData; }\n"
"size_t FaxFontResourceSize() { return sizeof kFaxFontData; }\n\n}  // namespace ql\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
