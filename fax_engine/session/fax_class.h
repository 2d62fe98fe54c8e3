#pragma once
// The fax modem command sets and the small value types every part of the engine shares.

#include <cstdint>

namespace ql {

// The modem command set a session uses. fcDetect asks the modem which it supports.
enum TFaxClass : uint8_t { fcUnknown = 0, fcDetect = 1, fcClass1 = 2, fcClass2 = 3, fcClass2_0 = 4 };

// A set of fax classes: bit n stands for the class of ordinal n.
using TFaxClassSet = uint8_t;
constexpr TFaxClassSet FaxClassBit(TFaxClass c) { return static_cast<TFaxClassSet>(1u << c); }
constexpr bool HasFaxClass(TFaxClassSet set, TFaxClass c) { return (set & FaxClassBit(c)) != 0; }

// The log codes a session sends with its log message.
enum TFaxLogCode : uint8_t {
  lfaxTransmitStart = 1,
  lfaxTransmitOk = 2,
  lfaxTransmitFail = 3,
  lfaxReceiveStart = 4,
  lfaxReceiveOk = 5,
  lfaxReceiveSkip = 6,
  lfaxReceiveFail = 7,
};

// Limits of the text fields of a session.
inline constexpr int kStationIdMax = 20;
inline constexpr int kModemStringMax = 40;
inline constexpr int kPhoneNumberMax = 40;
inline constexpr int kPathMax = 255;
inline constexpr int kResponseLineMax = 128;
inline constexpr int kDataBufferSize = 4096;

}  // namespace ql
