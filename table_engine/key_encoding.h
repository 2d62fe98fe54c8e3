#pragma once
// How an evaluated value becomes the bytes of an index key, so that unsigned byte order
// is the value's order: text as stored, blank-padded; numbers as big-endian doubles with
// the sign folded; dates as the double of their Julian day number (0 when empty);
// logical values as "T" or "F".

#include <string>

#include "table_engine/expression.h"

namespace ql::xb {

// Key length for a key expression of this type and (character) width.
int KeyLengthFor(ValueType type, int width);
// The byte that pads keys of this type (compressed away in leaves).
unsigned char KeyFillFor(ValueType type);
std::string EncodeKey(const Value& value, int keyLength);

// Julian day number of "YYYYMMDD"; 0 for blanks or anything that is not a date.
long JulianDay(const std::string& yyyymmdd);
// A double as 8 sortable bytes.
std::string SortableDouble(double value);

}  // namespace ql::xb
