#include "tools/qlvmodem/t30_frames.h"

#include <algorithm>
#include <cstdio>
#include <array>
#include <sstream>
#include <vector>

namespace ql::vmodem {

namespace {
// FIF byte 2 (bits 9-16): receiving fax, the data signalling rate, fine, two-dimensional.
constexpr uint8_t kReceiveFax = 0x02;
constexpr uint8_t kRateBits = 0x3C;
constexpr uint8_t kFine = 0x40;
constexpr uint8_t kTwoDimensional = 0x80;
// FIF byte 3 (bits 17-24): width, length, minimum scan time.
constexpr uint8_t kScanBits = 0x70;

// The scan-time field of a DIS by scan-time code (the pair for normal/fine rows), and
// of a DCS by code and resolution.
constexpr std::array<uint8_t, 8> kDisScan = {0x70, 0x10, 0x60, 0x20, 0x30, 0x00, 0x50, 0x40};
constexpr std::array<std::array<uint8_t, 2>, 8> kDcsScan = {{{0x70, 0x70},
                                                             {0x10, 0x10},
                                                             {0x20, 0x10},
                                                             {0x20, 0x20},
                                                             {0x00, 0x20},
                                                             {0x00, 0x00},
                                                             {0x40, 0x00},
                                                             {0x40, 0x40}}};

// Rates of a DCS by bit rate digit (V.27ter below 7200, V.29 for 7200 and 9600, V.17 above).
constexpr std::array<uint8_t, 6> kDcsRate = {0x00, 0x08, 0x0C, 0x04, 0x28, 0x20};

int ScanCodeOf(uint8_t bits) {
  for (int code = 0; code < 8; ++code)
    if (kDisScan[static_cast<size_t>(code)] == (bits & kScanBits)) return code;
  return 5;
}

constexpr int kKeep = -1;     // an empty field: the value stays
constexpr int kInvalid = -2;

std::vector<int> Numbers(const std::string& text) {
  std::vector<int> values;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, ',')) {
    if (part.size() == 1 && part[0] >= '0' && part[0] <= '9')
      values.push_back(part[0] - '0');
    else
      values.push_back(part.empty() ? kKeep : kInvalid);
  }
  return values;
}

// FIF byte 3's width (bits 17-18) and length (bits 19-20) fields.
uint8_t WidthAndLength(const SessionParameters& p) {
  const uint8_t width = p.wd == 0 ? 0x00 : p.wd == 1 ? 0x01 : 0x02;
  const uint8_t length = p.ln == 0 ? 0x00 : p.ln == 1 ? 0x04 : 0x08;
  return width | length;
}

uint8_t FifByte(const std::string& frame, size_t index) {
  return 3 + index < frame.size() ? static_cast<uint8_t>(frame[3 + index]) : 0;
}
}  // namespace

std::string SessionParameters::Text() const {
  std::ostringstream out;
  out << vr << ',' << br << ',' << wd << ',' << ln << ',' << df << ',' << ec << ',' << bf << ',' << st;
  return out.str();
}

bool SessionParameters::Parse(const std::string& text) {
  static constexpr std::array<int, 8> kLargest = {1, 5, 2, 2, 3, 2, 1, 7};
  std::vector<int> values = Numbers(text);
  if (values.empty() || values.size() > 9) return false;
  std::array<int*, 8> fields = {&vr, &br, &wd, &ln, &df, &ec, &bf, &st};
  // Nothing changes unless every field is valid.
  for (size_t i = 0; i < values.size() && i < fields.size(); ++i)
    if (values[i] == kInvalid || values[i] > kLargest[i]) return false;
  for (size_t i = 0; i < values.size() && i < fields.size(); ++i)
    if (values[i] != kKeep) *fields[i] = values[i];
  return true;
}

SessionParameters SessionParameters::Common(const SessionParameters& far) const {
  SessionParameters both;
  both.vr = std::min(vr, far.vr);
  both.br = std::min(br, far.br);
  both.wd = std::min(wd, far.wd);
  both.ln = std::min(ln, far.ln);
  both.df = std::min(std::min(df, far.df), 1);  // no uncompressed or MMR pages here
  both.ec = 0;                                  // no error correction on this line
  both.bf = 0;
  // The scan time codes are not ordered by length: compare the times they stand for.
  static constexpr std::array<int, 8> kNormalMs = {0, 5, 10, 10, 20, 20, 40, 40};
  both.st = kNormalMs[static_cast<size_t>(st)] >= kNormalMs[static_cast<size_t>(far.st)] ? st : far.st;
  return both;
}

std::string MakeFrame(uint8_t fcf, const std::string& fif, bool final) {
  std::string frame;
  frame += '\xFF';
  frame += static_cast<char>(final ? 0x13 : 0x03);
  frame += static_cast<char>(fcf);
  return frame + fif;
}

std::string DisFif(const SessionParameters& p) {
  static constexpr std::array<uint8_t, 6> kOffered = {0x00, 0x08, 0x0C, 0x0C, 0x2C, 0x2C};
  uint8_t b2 = kReceiveFax | kOffered[static_cast<size_t>(std::clamp(p.br, 0, 5))];
  if (p.vr > 0) b2 |= kFine;
  if (p.df > 0) b2 |= kTwoDimensional;
  const uint8_t b3 = WidthAndLength(p) | kDisScan[static_cast<size_t>(std::clamp(p.st, 0, 7))];
  return std::string{'\0', static_cast<char>(b2), static_cast<char>(b3)};
}

std::string DcsFif(const SessionParameters& p) {
  uint8_t b2 = kReceiveFax | kDcsRate[static_cast<size_t>(std::clamp(p.br, 0, 5))];
  if (p.vr > 0) b2 |= kFine;
  if (p.df > 0) b2 |= kTwoDimensional;
  const uint8_t b3 = WidthAndLength(p) | kDcsScan[static_cast<size_t>(std::clamp(p.st, 0, 7))][p.vr > 0 ? 1 : 0];
  return std::string{'\0', static_cast<char>(b2), static_cast<char>(b3)};
}

namespace {
// What DIS and DCS code alike: resolution, coding, width and length.
std::optional<SessionParameters> PageFormatOf(const std::string& frame) {
  if (frame.size() < 5) return std::nullopt;
  const uint8_t b2 = FifByte(frame, 1), b3 = FifByte(frame, 2);
  SessionParameters p;
  p.vr = (b2 & kFine) != 0 ? 1 : 0;
  p.df = (b2 & kTwoDimensional) != 0 ? 1 : 0;
  p.wd = (b3 & 0x03) == 0 ? 0 : (b3 & 0x03) == 1 ? 1 : 2;
  p.ln = (b3 & 0x0C) == 0 ? 0 : (b3 & 0x0C) == 0x08 ? 2 : 1;
  p.ec = 0;
  p.bf = 0;
  return p;
}
}  // namespace

std::optional<SessionParameters> ParseDis(const std::string& frame) {
  auto p = PageFormatOf(frame);
  if (!p) return std::nullopt;
  const uint8_t b2 = FifByte(frame, 1), b3 = FifByte(frame, 2);
  const uint8_t rates = b2 & kRateBits;
  if ((rates & 0x20) != 0)
    p->br = 5;  // V.17
  else if ((rates & 0x04) != 0)
    p->br = 3;  // V.29
  else if ((rates & 0x08) != 0)
    p->br = 1;  // V.27ter
  else
    p->br = 0;  // V.27ter fall-back only
  p->st = ScanCodeOf(b3);
  return p;
}

std::optional<SessionParameters> ParseDcs(const std::string& frame) {
  auto p = PageFormatOf(frame);
  if (!p) return std::nullopt;
  const uint8_t b2 = FifByte(frame, 1), b3 = FifByte(frame, 2);
  const uint8_t rates = b2 & kRateBits;
  p->br = -1;
  for (int br = 0; br < 6; ++br)
    if (kDcsRate[static_cast<size_t>(br)] == rates) p->br = br;
  if (rates == 0x24) p->br = 3;  // V.17 at 9600
  if (rates == 0x2C) p->br = 2;  // V.17 at 7200
  if (p->br < 0) return std::nullopt;
  // A DCS names one scan time; report the code whose time for this resolution it is.
  p->st = 0;
  for (int code = 7; code >= 0; --code)
    if (kDcsScan[static_cast<size_t>(code)][static_cast<size_t>(p->vr)] == (b3 & kScanBits)) p->st = code;
  return p;
}

const char* FrameName(uint8_t code) {
  switch (code & 0xFE) {
    case fcf::kDis: return "DIS";
    case fcf::kCsi: return "CSI";
    case fcf::kNsf: return "NSF";
    case fcf::kDcs: return "DCS";
    case fcf::kTsi: return "TSI";
    case fcf::kCfr: return "CFR";
    case fcf::kFtt: return "FTT";
    case fcf::kMps: return "MPS";
    case fcf::kEom: return "EOM";
    case fcf::kEop: return "EOP";
    case fcf::kMcf: return "MCF";
    case fcf::kRtp: return "RTP";
    case fcf::kRtn: return "RTN";
    case fcf::kPip: return "PIP";
    case fcf::kPin: return "PIN";
    case fcf::kDcn: return "DCN";
    case fcf::kCrp: return "CRP";
    default: return "?";
  }
}

std::string DescribeFrame(const std::string& frame) {
  std::string text = frame.size() >= 3 ? FrameName(static_cast<uint8_t>(frame[2])) : "short frame";
  char hex[4];
  for (size_t i = 0; i < frame.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%s%02X", i == 0 ? " " : " ", static_cast<uint8_t>(frame[i]));
    text += hex;
  }
  return text;
}

namespace {
// The page status of each post-page response, in +FPTS order.
constexpr std::array<uint8_t, 5> kResponseOfStatus = {fcf::kMcf, fcf::kRtn, fcf::kRtp, fcf::kPin, fcf::kPip};
}  // namespace

bool IsPostPageResponse(uint8_t code) {
  return std::find(kResponseOfStatus.begin(), kResponseOfStatus.end(), code & 0xFE) != kResponseOfStatus.end();
}

bool IsAccepted(uint8_t response) {
  const uint8_t code = response & 0xFE;
  return code == fcf::kMcf || code == fcf::kRtp || code == fcf::kPip;
}

int StatusOfResponse(uint8_t response) {
  const auto at = std::find(kResponseOfStatus.begin(), kResponseOfStatus.end(), response & 0xFE);
  return at == kResponseOfStatus.end() ? 2 : static_cast<int>(at - kResponseOfStatus.begin()) + 1;
}

uint8_t ResponseOfStatus(int status) { return kResponseOfStatus[static_cast<size_t>(std::clamp(status, 1, 5) - 1)]; }

const char* HangupText(int code) {
  switch (code) {
    case hangup::kNormal: return "normal end";
    case hangup::kAborted: return "ended by the program";
    case hangup::kNoAnswer: return "no fax machine answered";
    case hangup::kTransmitPhaseB: return "call dropped while negotiating";
    case hangup::kNoDcsResponse: return "no answer to the parameters";
    case hangup::kTrainingFailed: return "training failed at every rate";
    case hangup::kDataUnderflow: return "the program stopped sending page data";
    case hangup::kTransmitPhaseD: return "call dropped after a page";
    case hangup::kNoMpsResponse: return "no answer to MPS";
    case hangup::kNoEopResponse: return "no answer to EOP";
    case hangup::kNoEomResponse: return "no answer to EOM";
    case hangup::kReceivePhaseB: return "call dropped while waiting for the sender";
    case hangup::kNoCommand: return "no command from the sender";
    case hangup::kNoPage: return "no page came";
    case hangup::kReceivePhaseC: return "carrier lost in the middle of a page";
    case hangup::kReceivePhaseD: return "call dropped waiting for the post-page command";
    default: return "call failed";
  }
}

// The last character goes first; spaces fill the field after the first character, so
// the ID reads right-aligned, as telephone numbers are.
std::string IdFif(const std::string& ident) {
  std::string fif(ident.rbegin(), ident.rend());
  fif.resize(20, ' ');
  return fif;
}

std::string IdFromFrame(const std::string& frame) {
  if (frame.size() <= 3) return {};
  std::string fif = frame.substr(3, 20);
  std::string ident(fif.rbegin(), fif.rend());
  size_t first = ident.find_first_not_of(' ');
  size_t last = ident.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : ident.substr(first, last - first + 1);
}

Modulation ModulationOf(int br) {
  switch (br) {
    case 0: return {24, 24};
    case 1: return {48, 48};
    case 2: return {72, 72};
    case 4: return {121, 122};
    case 5: return {145, 146};
    default: return {96, 96};
  }
}

std::optional<Modulation> DcsModulation(const std::string& frame) {
  switch (FifByte(frame, 1) & kRateBits) {
    case 0x00: return Modulation{24, 24};
    case 0x08: return Modulation{48, 48};
    case 0x0C: return Modulation{72, 72};
    case 0x04: return Modulation{96, 96};
    case 0x2C: return Modulation{73, 74};    // V.17 at 7200
    case 0x24: return Modulation{97, 98};    // V.17 at 9600
    case 0x28: return Modulation{121, 122};
    case 0x20: return Modulation{145, 146};
    default: return std::nullopt;
  }
}

int BitsPerSecond(int br) {
  static constexpr std::array<int, 6> kRates = {2400, 4800, 7200, 9600, 12000, 14400};
  return kRates[static_cast<size_t>(std::clamp(br, 0, 5))];
}

}  // namespace ql::vmodem
