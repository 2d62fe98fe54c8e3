#pragma once
// Little-endian integers in file headers, and a fast test for an all-zero byte run.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ql {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

// Whether the `count` bytes are all zero, tested eight at a time.
inline bool AllZeroBytes(const uint8_t* bytes, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word != 0) return false;
  }
  for (; i < count; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

}  // namespace ql
