#pragma once
// Signalling rates and minimum scan-line times, as tables. A speed index runs from 1
// (2400 bit/s) to 6 (14400 bit/s); 0 names no speed.

#include <cstdint>
#include <string>

namespace ql {

inline constexpr int kLowestSpeedIndex = 1;
inline constexpr int kHighestSpeedIndex = 6;

// Bit/s of a speed index (0 outside 1 to 6).
int SpeedOfIndex(int speedIndex);
// The speed index of an exact rate, 0 when the rate is not one of the six.
int IndexOfSpeed(int bps);
// The Class 1 modulation of a speed index: "24", "48", "72", "96", "121", "145".
std::string Class1ModulationCode(int speedIndex);
// The Class 2/2.0 bit-rate digit for a wanted rate, chosen by exact value: 2400 '0',
// 4800 '1', 7200 '2', 12000 '4', 14400 '5', anything else '3' (9600).
char Class2RateDigit(int bps);
// The rate of a Class 2 report's bit-rate digit ('0' to '5'; anything else 9600).
int RateOfClass2Digit(char digit);

// Minimum scan-line time in milliseconds of a scan-time code (0 to 7) at normal or fine
// resolution; codes outside the table give 0.
int MinimumScanTimeMs(int scanTimeCode, bool fine);
// Bytes that carry the minimum scan-line time at a rate: time × bps / 8000.
uint16_t MinBytesPerLineFor(int scanTimeCode, bool fine, int bps);

}  // namespace ql
