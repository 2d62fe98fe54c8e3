#pragma once
// T.30 control frames of a Class 2/2.0 modem's own fax session: the session
// parameters a program sets with +FDIS/+FDCC (and reads in +FDIS/+FDCS reports) coded
// into DIS and DCS frames and back, station IDs, and the modulations of each rate.

#include <cstdint>
#include <optional>
#include <string>

namespace ql::vmodem {

// Frame control fields (the X bit, 0x01, is added by the caller of a session).
namespace fcf {
constexpr uint8_t kDis = 0x80, kCsi = 0x40, kNsf = 0x20;
constexpr uint8_t kDcs = 0x82, kTsi = 0x42;
constexpr uint8_t kCfr = 0x84, kFtt = 0x44;
constexpr uint8_t kMps = 0x4E, kEom = 0x8E, kEop = 0x2E;
constexpr uint8_t kMcf = 0x8C, kRtp = 0xCC, kRtn = 0x4C, kPip = 0xAC, kPin = 0x2C;
constexpr uint8_t kDcn = 0xFA, kCrp = 0x58;
}  // namespace fcf

// The eight Class 2 session values, in the order of "+FDIS:1,5,0,2,0,0,0,0".
struct SessionParameters {
  int vr = 1;  // vertical resolution: 0 normal, 1 fine
  int br = 5;  // bit rate: 0 2400, 1 4800, 2 7200, 3 9600, 4 12000, 5 14400
  int wd = 0;  // page width: 0 1728, 1 2048, 2 2432 pixels
  int ln = 2;  // page length: 0 A4, 1 B4, 2 unlimited
  int df = 0;  // data format: 0 one-dimensional, 1 two-dimensional
  int ec = 0;  // error correction: 0 none
  int bf = 0;  // binary file transfer: 0 none
  int st = 0;  // minimum scan time code 0..7

  std::string Text() const;
  // Applies "1,5,0,2,0,0,0,0" (empty or out-of-range fields keep their value).
  bool Parse(const std::string& text);
  // What both sides can do: the smaller of each value, the longer scan time.
  SessionParameters Common(const SessionParameters& far) const;
};

// A frame as exchanged with a Class 1 modem: FF, 03 or 13, FCF, FIF (no FCS).
std::string MakeFrame(uint8_t fcf, const std::string& fif, bool final);
inline uint8_t FrameFcf(const std::string& frame) {
  return frame.size() >= 3 ? static_cast<uint8_t>(frame[2]) : 0;
}
inline bool FrameIsFinal(const std::string& frame) {
  return frame.size() >= 2 && (static_cast<uint8_t>(frame[1]) & 0x10) != 0;
}

// DIS offering what `p` allows; DCS choosing exactly `p`.
std::string DisFif(const SessionParameters& p);
std::string DcsFif(const SessionParameters& p);
// The far machine's DIS as the capabilities it offers, and a DCS as the parameters it
// chose. Empty when the frame is too short to say.
std::optional<SessionParameters> ParseDis(const std::string& frame);
std::optional<SessionParameters> ParseDcs(const std::string& frame);

// "DIS", "MCF", "RTN" ... for a frame control field (the X bit ignored).
const char* FrameName(uint8_t fcf);
// A frame (FF 03|13 FCF FIF) as its name and its bytes in hex, "DIS FF 13 80 00 EE F8".
std::string DescribeFrame(const std::string& frame);
// Post-page responses and the page status (+FPTS/+FPS) that stands for each:
// 1 MCF (good), 2 RTN (bad, retrain), 3 RTP (good, retrain), 4 PIN, 5 PIP.
bool IsPostPageResponse(uint8_t fcf);
bool IsAccepted(uint8_t response);  // MCF, RTP or PIP: the page is kept
int StatusOfResponse(uint8_t response);
uint8_t ResponseOfStatus(int status);

// A station ID as a TSI/CSI information field (20 characters, last first) and back.
std::string IdFif(const std::string& ident);
std::string IdFromFrame(const std::string& frame);

// The Class 1 modulation of a bit rate digit: +FTM/+FRM codes of the training check
// (long training) and of page data.
struct Modulation {
  int trainingCode;
  int pageCode;
};
// This modem's choice for a rate (V.29 at 9600 and 7200), and what a far machine's DCS chose.
Modulation ModulationOf(int br);
std::optional<Modulation> DcsModulation(const std::string& frame);
int BitsPerSecond(int br);

// Hang-up codes of the +FHNG/+FHS report.
namespace hangup {
constexpr int kNormal = 0;
constexpr int kAborted = 2;           // +FK/+FKS
constexpr int kNoAnswer = 11;         // T1 expired: no fax machine answered
constexpr int kTransmitPhaseB = 20;   // the call dropped while negotiating
constexpr int kNoDcsResponse = 25;    // DCS sent three times without an answer
constexpr int kTrainingFailed = 27;   // failure to train at 2400 bit/s
constexpr int kDataUnderflow = 43;    // the program stopped sending page data
constexpr int kTransmitPhaseD = 50;   // the call dropped after a page
constexpr int kNoMpsResponse = 52;    // no answer to MPS repeated three times
constexpr int kInvalidMpsResponse = 53;
constexpr int kNoEopResponse = 54;
constexpr int kInvalidEopResponse = 55;
constexpr int kNoEomResponse = 56;
constexpr int kInvalidEomResponse = 57;
constexpr int kReceivePhaseB = 70;    // the call dropped while waiting for the sender
constexpr int kNoCommand = 72;        // T1/T2 expired waiting for a command
constexpr int kNoPage = 73;           // T2 expired waiting for a page
constexpr int kReceivePhaseC = 90;    // the carrier went away in the middle of a page
constexpr int kReceivePhaseD = 100;   // the call dropped waiting for the post-page command
}  // namespace hangup

// What a hang-up code means, for the call log.
const char* HangupText(int code);

}  // namespace ql::vmodem
