#pragma once
// The DLE transparency of fax modem data (T.31 and the Class 2/2.0 command sets).
// Between a modem and its program, data travels "stuffed": a data byte 0x10 (DLE) is sent
// as DLE DLE, and a DLE followed by another byte is a control pair: DLE ETX ends the data,
// Class 2.0 adds DLE ',' ';' '.' (end of page with what follows), and some modems send
// DLE SUB for two data bytes 0x10. Both the fax engine and the virtual modems use this.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ql::dle {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kSub = 0x1A;

// Appends `data` to `out` with every DLE doubled.
void AppendStuffed(std::string& out, std::string_view data);
// Appends one data byte, doubled when it is a DLE.
inline void AppendStuffedByte(std::string& out, uint8_t byte) {
  out += static_cast<char>(byte);
  if (byte == kDle) out += static_cast<char>(kDle);
}
// `data` stuffed; with `end` the DLE ETX that closes it follows.
std::string Stuffed(std::string_view data, bool end = false);
// The DLE ETX pair.
inline std::string EndPair() { return std::string{static_cast<char>(kDle), static_cast<char>(kEtx)}; }

// The length of the longest prefix of the stuffed stream `stuffed` that is at most `limit`
// bytes long and does not end between the two bytes of a DLE pair, so the stream can be
// handed on in pieces. Returns 0 only when `limit` is 0, `stuffed` is empty, or the
// first pair does not fit in `limit`.
size_t WholePairPrefix(std::string_view stuffed, size_t limit);

// Takes a stuffed stream in pieces of any size and gives back the data bytes. A DLE at the
// end of one piece is remembered and paired with the first byte of the next.
class Unstuffer {
 public:
  enum class Stop {
    kNone,     // every byte of the piece was taken
    kEnd,      // DLE ETX: the data ended; the bytes after it belong to what follows
    kControl,  // DLE and another byte (not DLE, ETX or SUB): ControlByte() tells which
  };
  struct Result {
    size_t consumed = 0;  // input bytes taken, the stopping pair included
    Stop stop = Stop::kNone;
  };

  // Appends the data bytes of `piece` to `data` and stops after the first DLE ETX or other
  // control pair. DLE DLE gives one 0x10, DLE SUB two.
  Result Take(std::string_view piece, std::string& data);

  // What one byte of the stream is, for code that works on the stuffed stream in place
  // (it must leave the pairs alone) or only looks for the end in it.
  enum class Byte {
    kData,     // a data byte on its own
    kEscape,   // a DLE that waits for its partner
    kDataDle,  // the second byte of DLE DLE (one data 0x10) or of DLE SUB (two)
    kControl,  // the second byte of a control pair, DLE ETX included: ControlByte() tells which
  };
  Byte Classify(uint8_t byte);
  // The byte after the DLE of the last kControl stop.
  uint8_t ControlByte() const { return control_; }
  // True while a DLE waits for its partner.
  bool PendingDle() const { return pendingDle_; }
  // Forgets a waiting DLE (a new data phase starts).
  void Reset() { pendingDle_ = false; }

 private:
  bool pendingDle_ = false;
  uint8_t control_ = 0;
};

}  // namespace ql::dle
