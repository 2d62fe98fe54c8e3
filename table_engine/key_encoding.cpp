#include "table_engine/key_encoding.h"

#include <bit>
#include <cstdint>

namespace ql::xb {

int KeyLengthFor(ValueType type, int width) {
  switch (type) {
    case ValueType::Character: return width;
    case ValueType::Logical: return 1;
    default: return 8;
  }
}

unsigned char KeyFillFor(ValueType type) { return type == ValueType::Character ? ' ' : 0; }

std::string SortableDouble(double value) {
  if (value == 0) value = 0;  // -0 sorts as +0
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bits = (bits & (uint64_t(1) << 63)) != 0 ? ~bits : bits | (uint64_t(1) << 63);
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (56 - 8 * i));
  return out;
}

long JulianDay(const std::string& s) {
  if (s.size() < 8) return 0;
  long v[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  std::size_t at = 0;
  for (int part = 0; part < 3; ++part) {
    for (int k = 0; k < widths[part]; ++k, ++at) {
      if (s[at] < '0' || s[at] > '9') return 0;
      v[part] = v[part] * 10 + (s[at] - '0');
    }
  }
  const long y = v[0], m = v[1], d = v[2];
  if (m < 1 || m > 12 || d < 1 || d > 31) return 0;
  const long a = (14 - m) / 12;
  const long yy = y + 4800 - a;
  const long mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

std::string EncodeKey(const Value& value, int keyLength) {
  const auto length = static_cast<std::size_t>(keyLength);
  switch (value.type) {
    case ValueType::Character: {
      std::string key = value.text.substr(0, length);
      key.resize(length, ' ');
      return key;
    }
    case ValueType::Logical: return std::string(length, value.logical ? 'T' : 'F');
    case ValueType::Date: return SortableDouble(static_cast<double>(JulianDay(value.text))).substr(0, length);
    case ValueType::Numeric: return SortableDouble(value.number).substr(0, length);
  }
  return std::string(length, ' ');
}

}  // namespace ql::xb
