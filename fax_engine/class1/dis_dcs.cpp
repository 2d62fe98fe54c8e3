#include "fax_engine/class1/dis_dcs.h"

#include "fax_engine/session/speed_tables.h"

namespace ql::class1 {

namespace {

constexpr uint8_t kRateMask = 0x3C;
constexpr uint8_t kV27 = 0x08;
constexpr uint8_t kV29 = 0x04;
constexpr uint8_t kV27AndV29 = 0x0C;
constexpr uint8_t kV17AndOthers = 0x2C;

// By speed index (0 unused).
constexpr uint8_t kDisRateBits[7] = {0x00, 0x00, kV27, kV27AndV29, kV27AndV29, kV17AndOthers, kV17AndOthers};
constexpr uint8_t kDcsRateBits[7] = {0x00, 0x00, 0x08, 0x0C, 0x04, 0x28, 0x20};

// DCS scan bits by scan-time code: normal, fine.
constexpr uint8_t kDcsScanBits[8][2] = {{0x70, 0x70}, {0x10, 0x10}, {0x20, 0x10}, {0x20, 0x20},
                                        {0x00, 0x20}, {0x00, 0x00}, {0x40, 0x00}, {0x40, 0x40}};
// Scan-time code by the received bits (b3 & 0x70) >> 4.
constexpr int kScanCodes[8] = {5, 1, 3, 4, 7, 6, 2, 0};

struct DcsRate {
  uint8_t bits;
  int speedIndex;
  bool v17;
};
constexpr DcsRate kDcsRates[] = {{0x00, 1, false}, {0x08, 2, false}, {0x0C, 3, false}, {0x04, 4, false},
                                 {0x2C, 3, true},  {0x24, 4, true},  {0x28, 5, true},  {0x20, 6, true}};

int ClampIndex(int i) { return i < kLowestSpeedIndex ? kLowestSpeedIndex : i > kHighestSpeedIndex ? kHighestSpeedIndex : i; }

}  // namespace

uint8_t DisRateBits(int speedIndex) { return kDisRateBits[ClampIndex(speedIndex)]; }
uint8_t DcsRateBits(int speedIndex) { return kDcsRateBits[ClampIndex(speedIndex)]; }

uint8_t DcsScanBits(int scanTimeCode, bool fine) {
  if (scanTimeCode < 0 || scanTimeCode > 7) scanTimeCode = 0;
  return kDcsScanBits[scanTimeCode][fine ? 1 : 0];
}

int ScanTimeCodeOf(uint8_t b3) { return kScanCodes[(b3 & 0x70) >> 4]; }

std::string DisFif(int speedIndex) {
  return std::string{'\x00', static_cast<char>(0x42 | DisRateBits(speedIndex)), '\xF9', '\x00'};
}

std::string DcsFif(int speedIndex, bool fine, bool wide, int scanTimeCode) {
  const uint8_t b2 = static_cast<uint8_t>(0x02 | (fine ? 0x40 : 0x00) | DcsRateBits(speedIndex));
  const uint8_t b3 = static_cast<uint8_t>(DcsScanBits(scanTimeCode, fine) + 0x88 + (wide ? 0x01 : 0x00));
  return std::string{'\x00', static_cast<char>(b2), static_cast<char>(b3), '\x00'};
}

DisCapabilities DecodeDis(uint8_t b2, uint8_t b3) {
  DisCapabilities d;
  const uint8_t rate = b2 & kRateMask;
  const uint8_t family = b2 & kV27AndV29;
  d.speeds[1] = d.speeds[2] = true;
  d.speeds[6] = (b2 & 0x20) != 0;
  d.speeds[5] = (b2 & 0x10) != 0 || rate == kV17AndOthers;
  d.speeds[4] = family == kV29 || family == kV27AndV29;
  d.speeds[3] = family == kV29 || family == kV27AndV29;
  d.fine = (b2 & 0x40) != 0;
  // 0x01: 1728 and 2048 pels; 0x02: also 2432.
  d.wide = (b3 & 0x03) == 0x01 || (b3 & 0x03) == 0x02;
  d.scanTimeCode = ScanTimeCodeOf(b3);
  return d;
}

DcsChoice DecodeDcs(uint8_t b2, uint8_t b3) {
  DcsChoice c;
  const uint8_t rate = b2 & kRateMask;
  bool known = false;
  for (const DcsRate& r : kDcsRates) {
    if (r.bits == rate) {
      c.speedIndex = r.speedIndex;
      c.v17 = r.v17;
      known = true;
    }
  }
  if (!known) {
    // Codings no standard machine sends: read the way older programs wrote them.
    if (b2 & 0x20) {
      c.speedIndex = 6;
      c.v17 = true;
    } else if (b2 & 0x10) {
      c.speedIndex = 5;
      c.v17 = true;
    }
  }
  c.fine = (b2 & 0x40) != 0;
  c.wide = (b3 & 0x03) == 0x01;
  c.scanTimeCode = ScanTimeCodeOf(b3);
  return c;
}

std::string ModulationCodeFor(int speedIndex, bool v17, bool shortTrain) {
  speedIndex = ClampIndex(speedIndex);
  if (v17 && speedIndex >= 3) {
    static constexpr int kV17Codes[7] = {0, 0, 0, 73, 97, 121, 145};
    return std::to_string(kV17Codes[speedIndex] + (shortTrain ? 1 : 0));
  }
  return Class1ModulationCode(speedIndex);
}

std::string DescribeDisRate(uint8_t b2) {
  const DisCapabilities d = DecodeDis(b2, 0);
  const bool v17 = (b2 & kRateMask) == kV17AndOthers || (b2 & 0x30) != 0;
  for (int i = kHighestSpeedIndex; i >= kLowestSpeedIndex; --i)
    if (d.speeds[i])
      return std::string(v17 && i >= 5 ? "V.17 " : i >= 3 ? "V.29 " : "V.27ter ") + std::to_string(SpeedOfIndex(i));
  return "V.27ter 2400";
}

std::string DescribeDcsRate(uint8_t b2) {
  const DcsChoice c = DecodeDcs(b2, 0);
  return std::string(c.v17 ? "V.17 " : c.speedIndex >= 3 ? "V.29 " : "V.27ter ") + std::to_string(SpeedOfIndex(c.speedIndex));
}

}  // namespace ql::class1
