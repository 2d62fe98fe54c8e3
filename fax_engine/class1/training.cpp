#include "fax_engine/class1/training.h"

#include <algorithm>

#include "fax_engine/session/session_records.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dle/dle_codec.h"

namespace ql::class1 {

int TrainingByteCount(int bps) { return std::min(bps / 100 * 18, kMaxTrainingBytes); }

int SendTraining(FaxSession& s) {
  std::string bytes(static_cast<size_t>(TrainingByteCount(s.modem.sessionBps)), '\0');
  bytes += dle::EndPair();
  s.log.Note("training check: " + std::to_string(bytes.size() - 2) + " zero bytes at " +
             std::to_string(s.modem.sessionBps) + " bit/s");
  return WriteString(s.common.portHandle, bytes);
}

bool TrainingCountsAreGood(size_t total, size_t nonZero) { return total > 0 && nonZero * 100 / total < 10; }

bool TrainingIsGood(std::string_view bytes) {
  const size_t nonZero = static_cast<size_t>(std::count_if(bytes.begin(), bytes.end(), [](char c) { return c != 0; }));
  return TrainingCountsAreGood(bytes.size(), nonZero);
}

void AppendWhiteLines(std::string& out, int n, std::string_view whiteLine, uint16_t minBytesPerLine) {
  for (int i = 0; i < n; ++i) {
    out.append(whiteLine);
    if (minBytesPerLine >= 7) out.append(static_cast<size_t>(minBytesPerLine - 5), '\0');
  }
}

size_t AppendScanLine(std::string& out, std::string_view coded, uint16_t minBytesPerLine) {
  dle::AppendStuffed(out, coded);
  if (coded.size() < minBytesPerLine) out.append(minBytesPerLine - coded.size(), '\0');
  return std::max<size_t>(coded.size(), minBytesPerLine);
}

}  // namespace ql::class1
