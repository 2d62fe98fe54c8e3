#pragma once
// The parameters carried by DIS (what a receiver can do) and DCS (what the sender chose):
// FIF byte 2 holds the rate bits (mask 0x3C), fine resolution (0x40) and "can receive" /
// "receive" (0x02); byte 3 the width (0x03), the length (0x0C), the minimum scan-line
// time (0x70) and the extension bit (0x80).
//
// Rates are coded as T.30 has them, which is what standard machines send and expect:
// a DIS offers V.27ter (0x08), V.29 (0x04), both (0x0C), or V.17 with both (0x2C); a DCS
// names one rate of one modem family, V.17 at 12000 being 0x28 and at 9600 0x24.

#include <cstdint>
#include <string>

namespace ql::class1 {

struct DisCapabilities {
  bool speeds[7] = {};  // by speed index: 1 2400 ... 6 14400
  bool fine = false;
  bool wide = false;    // 2048 pels accepted
  int scanTimeCode = 0;
};

struct DcsChoice {
  int speedIndex = 1;
  bool v17 = false;  // the rate is sent with V.17 modulation
  bool fine = false;
  bool wide = false;
  int scanTimeCode = 0;
};

// FIF byte 2 rate bits of a DIS offering everything up to a speed index, and of a DCS
// choosing it (a DCS at 7200 and 9600 names V.29, at 12000 and 14400 V.17).
uint8_t DisRateBits(int speedIndex);
uint8_t DcsRateBits(int speedIndex);
// FIF byte 3 scan-time bits of a DCS for a scan-time code and resolution.
uint8_t DcsScanBits(int scanTimeCode, bool fine);
// The scan-time code of a received FIF byte 3.
int ScanTimeCodeOf(uint8_t b3);

// The FIF of our DIS and DCS (four bytes each).
std::string DisFif(int speedIndex);
std::string DcsFif(int speedIndex, bool fine, bool wide, int scanTimeCode);

// What a received DIS offers and what a received DCS chose (FIF bytes 2 and 3).
DisCapabilities DecodeDis(uint8_t b2, uint8_t b3);
DcsChoice DecodeDcs(uint8_t b2, uint8_t b3);

// The Class 1 modulation of a rate: V.17 codes are 73, 97, 121, 145 (long training) or
// one more (short training); V.29 72 and 96; V.27ter 24 and 48.
std::string ModulationCodeFor(int speedIndex, bool v17, bool shortTrain = false);

// "V.17 14400", "V.29 9600", "V.27ter 4800": the best a DIS offers, the rate a DCS names.
std::string DescribeDisRate(uint8_t b2);
std::string DescribeDcsRate(uint8_t b2);

}  // namespace ql::class1
