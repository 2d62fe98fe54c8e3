#pragma once
// The progress codes of a session (its FaxProgress) and their texts. The text of code n
// is string 13000 + n; only codes 1 to 42 have one.

#include <string>

namespace ql {

inline constexpr int fpInitModem = 1;
inline constexpr int fpDialing = 2;
inline constexpr int fpBusyWait = 3;
inline constexpr int fpSendPage = 4;
inline constexpr int fpSendPageStatus = 5;
inline constexpr int fpPageError = 6;
inline constexpr int fpPageOK = 7;
inline constexpr int fpWaiting = 20;
inline constexpr int fpNoConnect = 21;
inline constexpr int fpAnswer = 22;
inline constexpr int fpIncoming = 23;
inline constexpr int fpGetPage = 24;
inline constexpr int fpGetPageResult = 25;
inline constexpr int fpCheckMorePages = 26;
inline constexpr int fpGetHangup = 27;
inline constexpr int fpGotHangup = 28;
inline constexpr int fpSessionParams = 40;
inline constexpr int fpGotRemoteID = 41;
inline constexpr int fpCancel = 42;
inline constexpr int fpFinished = 43;

// The text of a progress code; empty for codes without one (43, and anything outside
// 1 to 42 without an entry).
std::string StatusText(int code);

}  // namespace ql
