#include "fax_engine/session/speed_tables.h"

namespace ql {

namespace {

struct SpeedRow {
  int bps;
  const char* modulation;
  char class2Digit;
};

// Index 0 stands for "no speed".
constexpr SpeedRow kSpeeds[] = {
    {0, "", '3'},       {2400, "24", '0'},   {4800, "48", '1'},    {7200, "72", '2'},
    {9600, "96", '3'},  {12000, "121", '4'}, {14400, "145", '5'},
};

// Milliseconds by scan-time code: normal resolution, fine resolution.
constexpr int kScanTimes[8][2] = {{0, 0}, {5, 5}, {10, 5}, {10, 10}, {20, 10}, {20, 20}, {40, 20}, {40, 40}};

bool ValidIndex(int i) { return i >= kLowestSpeedIndex && i <= kHighestSpeedIndex; }

}  // namespace

int SpeedOfIndex(int speedIndex) { return ValidIndex(speedIndex) ? kSpeeds[speedIndex].bps : 0; }

int IndexOfSpeed(int bps) {
  for (int i = kLowestSpeedIndex; i <= kHighestSpeedIndex; ++i)
    if (kSpeeds[i].bps == bps) return i;
  return 0;
}

std::string Class1ModulationCode(int speedIndex) { return ValidIndex(speedIndex) ? kSpeeds[speedIndex].modulation : ""; }

char Class2RateDigit(int bps) {
  const int i = IndexOfSpeed(bps);
  return i == 0 ? '3' : kSpeeds[i].class2Digit;
}

int RateOfClass2Digit(char digit) {
  for (int i = kLowestSpeedIndex; i <= kHighestSpeedIndex; ++i)
    if (kSpeeds[i].class2Digit == digit) return kSpeeds[i].bps;
  return 9600;
}

int MinimumScanTimeMs(int scanTimeCode, bool fine) {
  if (scanTimeCode < 0 || scanTimeCode > 7) return 0;
  return kScanTimes[scanTimeCode][fine ? 1 : 0];
}

uint16_t MinBytesPerLineFor(int scanTimeCode, bool fine, int bps) {
  return static_cast<uint16_t>(MinimumScanTimeMs(scanTimeCode, fine) * bps / 8000);
}

}  // namespace ql
