#pragma once
// Class 1 frames as a fax program writes them to the modem and reads them back.

#include <initializer_list>
#include <string>

namespace ql::vmodem::testing {

inline const std::string kEndOfFrame = std::string("\x10\x03", 2);

inline std::string Frame(std::initializer_list<int> bytes) {
  std::string frame;
  for (int b : bytes) frame += static_cast<char>(b);
  return frame;
}

// An ID frame (TSI or CSI) for "TEST", last character first, padded to 20.
inline std::string IdFrame(int fcf, bool final) {
  std::string frame = Frame({0xFF, final ? 0x13 : 0x03, fcf});
  frame += std::string(16, ' ') + "TSET";
  return frame;
}

// The control field of the first frame in `received` (a frame starts FF 03|13 FCF).
inline int FirstFcf(const std::string& received) {
  size_t at = received.find('\xFF');
  if (at == std::string::npos || at + 2 >= received.size()) return -1;
  return static_cast<unsigned char>(received[at + 2]);
}

}  // namespace ql::vmodem::testing
