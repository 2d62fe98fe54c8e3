#pragma once
// The line settings block and the status block the device layer exchanges with the
// dispatcher, and the bit values of line errors, modem lines and comm events.

#include <cstdint>

namespace ql {

// Stop-bit codes of the line settings block.
inline constexpr uint8_t kOneStopBit = 0;
inline constexpr uint8_t kOne5StopBits = 1;
inline constexpr uint8_t kTwoStopBits = 2;

// DTR and RTS control modes.
inline constexpr uint8_t kLineControlDisable = 0;
inline constexpr uint8_t kLineControlEnable = 1;
inline constexpr uint8_t kLineControlHandshake = 2;

// Line settings of a port.
struct TCommState {
  uint32_t BaudRate = 9600;
  uint8_t ByteSize = 8;                       // 5 to 8
  uint8_t Parity = 0;                         // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t StopBits = kOneStopBit;             // kOneStopBit, kOne5StopBits, kTwoStopBits
  bool OutxCtsFlow = false;                   // hold output while CTS is low
  bool OutxDsrFlow = false;                   // hold output while DSR is low
  uint8_t DtrControl = kLineControlEnable;
  uint8_t RtsControl = kLineControlEnable;
  bool OutX = false;                          // XON/XOFF on output
  bool InX = false;                           // XON/XOFF on input
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;
};

// Status of a port: line-error flags and the bytes waiting in each direction.
struct TComStat {
  uint32_t Flags = 0;
  uint32_t InQueue = 0;
  uint32_t OutQueue = 0;
};

// Line-error bits.
inline constexpr uint32_t kErrRxOver = 0x01;
inline constexpr uint32_t kErrOverrun = 0x02;
inline constexpr uint32_t kErrParity = 0x04;
inline constexpr uint32_t kErrFrame = 0x08;
inline constexpr uint32_t kErrBreak = 0x10;

// Modem line states (high nibble of the modem-status shadow).
inline constexpr uint8_t kLineCts = 0x10;
inline constexpr uint8_t kLineDsr = 0x20;
inline constexpr uint8_t kLineRing = 0x40;
inline constexpr uint8_t kLineDcd = 0x80;

// Comm events.
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvCts = 0x0008;
inline constexpr uint32_t kEvDsr = 0x0010;
inline constexpr uint32_t kEvRlsd = 0x0020;
inline constexpr uint32_t kEvBreak = 0x0040;
inline constexpr uint32_t kEvErr = 0x0080;
inline constexpr uint32_t kEvRing = 0x0100;
inline constexpr uint32_t kEvRingTrailingEdge = 0x2000;
inline constexpr uint32_t kPortEventMask = 0x21F9;

// Escape function codes.
inline constexpr int kEscSetXoff = 1;
inline constexpr int kEscSetXon = 2;
inline constexpr int kEscSetRts = 3;
inline constexpr int kEscClrRts = 4;
inline constexpr int kEscSetDtr = 5;
inline constexpr int kEscClrDtr = 6;

}  // namespace ql
