#pragma once
// Control bytes between a modem and its program (DLE pairs: serial/dle).

#include <cstdint>

namespace ql::vmodem {
constexpr uint8_t kXon = 0x11;
constexpr uint8_t kDc2 = 0x12;  // a Class 2 program is ready for page data
constexpr uint8_t kXoff = 0x13;
}  // namespace ql::vmodem
