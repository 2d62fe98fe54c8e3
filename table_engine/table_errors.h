#pragma once
// Result codes of the table engine. Every engine call returns 0 (or a positive value)
// on success and one of these negative codes on failure; nothing is thrown.

#include <string>

namespace ql::xb {

inline constexpr int xbOK = 0;
inline constexpr int xbFileNotFound = -9101;   // the table or index file does not exist
inline constexpr int xbBadFile = -9102;        // not a table of ours: truncated, garbage, unknown layout
inline constexpr int xbIoError = -9103;        // reading or writing the file failed
inline constexpr int xbLocked = -9104;         // another process holds the table or the row
inline constexpr int xbBadExpression = -9105;  // an expression does not parse or has mixed types
inline constexpr int xbNoSuchField = -9106;
inline constexpr int xbNoSuchTag = -9107;
inline constexpr int xbBadIndex = -9108;       // the index file is damaged
inline constexpr int xbNotOpen = -9109;
inline constexpr int xbReadOnly = -9110;       // write to a table opened read-only
inline constexpr int xbBadRecord = -9111;      // no such row (or no current row)
inline constexpr int xbTypeMismatch = -9112;
inline constexpr int xbBadArgument = -9113;
inline constexpr int xbKeyTooLong = -9114;     // index key longer than 240 bytes
inline constexpr int xbNeedExclusive = -9115;  // pack and tag building need an exclusive open

// A short English text for a code ("" for success).
std::string TableErrorText(int code);

}  // namespace ql::xb
