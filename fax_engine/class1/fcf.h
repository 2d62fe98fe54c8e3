#pragma once
// T.30 control fields and frame bytes, as a Class 1 modem passes them (first bit sent in
// the least significant position). The lowest bit of a control field tells whether the
// station had received a DIS; the engine sends the forms below and reads both.

#include <cstdint>

namespace ql::fcf {

inline constexpr uint8_t kAddress = 0xFF;
inline constexpr uint8_t kControlFinal = 0x13;
inline constexpr uint8_t kControlNotFinal = 0x03;
inline constexpr uint8_t kFinalBit = 0x10;

inline constexpr uint8_t kCsi = 0x40;
inline constexpr uint8_t kTsi = 0x43;
inline constexpr uint8_t kDis = 0x80;
inline constexpr uint8_t kDcs = 0x83;
inline constexpr uint8_t kCfr = 0x84;
inline constexpr uint8_t kFtt = 0x44;
inline constexpr uint8_t kRtn = 0x4C;
inline constexpr uint8_t kMcf = 0x8C;
inline constexpr uint8_t kRtp = 0xCC;
inline constexpr uint8_t kMps = 0x4F;
inline constexpr uint8_t kEop = 0x2F;
inline constexpr uint8_t kDcn = 0xFB;

// Both forms of a control field (with and without the lowest bit).
constexpr bool Is(uint8_t received, uint8_t fcf) { return (received & 0xFE) == (fcf & 0xFE); }
constexpr bool IsIdFrame(uint8_t received) { return received >= 0x40 && received <= 0x43; }

}  // namespace ql::fcf
