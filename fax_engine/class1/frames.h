#pragma once
// T.30 frames through a Class 1 modem. Each frame the engine sends is the address
// 0xFF, the control byte (0x13 for the last frame of a group, else 0x03), the control
// field and its information field, DLE-stuffed and closed with DLE ETX; the modem adds
// the check sequence. Received frames arrive the same way (with the modem's two check
// bytes) and are read by DecodeFrame.

#include <cstdint>
#include <string>
#include <string_view>

namespace ql {
struct FaxSession;
}

namespace ql::class1 {

// The bytes of a frame as handed to the modem (stuffed, with DLE ETX).
std::string FrameBytes(uint8_t fcf, std::string_view fif, bool final);
// The information field of an ID frame: spaces for the missing characters, then the
// characters of the ID from the last to the first (20 bytes).
std::string IdFif(const std::string& stationId);

// Writing, each after a 20 ms pause; the result of the port write.
int SendSimpleFrame(FaxSession& s, uint8_t fcf);                  // MPS, EOP, DCN, MCF, CFR, FTT
int SendIdFrame(FaxSession& s, uint8_t fcf);                      // TSI (sending), CSI (receiving)
int SendDisFrame(FaxSession& s);
// Also sets the session's ModulationCode for the chosen rate.
int SendDcsFrame(FaxSession& s);

struct DecodeResult {
  int result = 0;        // 0, -6005 (the far machine disconnects), -8070 (it cannot take this page)
  bool retrain = false;  // FTT or RTN: train again at a lower rate
};

// Reads a received frame into the session: the far ID, capabilities and choices, CFR,
// the last control field and whether the frame was the final one. Clears the response
// and re-arms the reply wait, except when the far machine cannot take the page.
DecodeResult DecodeFrame(FaxSession& s, std::string_view frame);

// A line for the session log: "DIS: V.17 14400, fine, 1728 pels, scan 0 ms",
// "CSI: \"+1 555 0100\"", "MCF" ... A frame received from the modem ends in its two check
// bytes; one the engine sends does not.
std::string DescribeFrame(std::string_view frame, bool checkBytes = true);

}  // namespace ql::class1
