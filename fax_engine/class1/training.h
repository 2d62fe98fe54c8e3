#pragma once
// The training check and the scan-line rules of Class 1 page data.
//
// The training check is 1.5 s of zero bytes at the session rate (rate / 100 × 18 bytes,
// at most 8192), closed with DLE ETX; the receiver takes it as good when fewer than
// one byte in ten is not zero. Every scan line of page data lasts at least the
// receiver's minimum scan-line time: shorter lines are followed by zero bytes (fill
// before the next EOL) up to MinBytesPerLine.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ql {
struct FaxSession;
}

namespace ql::class1 {

inline constexpr int kMaxTrainingBytes = 8192;

int TrainingByteCount(int bps);
// Writes the training check for the session's rate.
int SendTraining(FaxSession& s);
// Judges a received training check (the bytes up to DLE ETX), or its counts: good when
// fewer than one byte in ten is not zero.
bool TrainingIsGood(std::string_view bytes);
bool TrainingCountsAreGood(size_t total, size_t nonZero);

// n white lines (the coded white line of the page's width), each followed by
// MinBytesPerLine - 5 zero bytes when MinBytesPerLine is at least 7.
void AppendWhiteLines(std::string& out, int n, std::string_view whiteLine, uint16_t minBytesPerLine);
// One coded scan line, DLE-stuffed, then zero bytes up to MinBytesPerLine; returns the
// bytes the line counts for (the larger of its length and MinBytesPerLine).
size_t AppendScanLine(std::string& out, std::string_view coded, uint16_t minBytesPerLine);

}  // namespace ql::class1
