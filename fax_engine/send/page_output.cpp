#include "fax_engine/send/page_output.h"

#include <algorithm>
#include <cstring>

#include "fax_engine/class1/training.h"
#include "fax_engine/session/header_expand.h"
#include "fax_engine/session/session_records.h"
#include "serial/dispatcher/dispatcher.h"

namespace ql {

namespace {

constexpr int kLeadInWhiteLines = 8;

void PreparePageWidth(SendSession& s) { s.converter.SetPageWidth(s.modem.pageHeader.Width()); }

}  // namespace

void QueueOutput(SendSession& s, std::string_view bytes) {
  if (bytes.empty()) return;
  if (s.pendingOutput.empty()) {
    const int port = s.common.portHandle;
    const size_t room = static_cast<size_t>(std::max(0, OutFree(port)));
    const size_t now = std::min(room, bytes.size());
    if (now > 0 && WriteBlock(port, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(now)) == 0)
      bytes.remove_prefix(now);
  }
  s.pendingOutput.append(bytes);
}

bool FlushPendingOutput(SendSession& s) {
  if (s.pendingOutput.empty()) return true;
  const int port = s.common.portHandle;
  const size_t room = static_cast<size_t>(std::max(0, OutFree(port)));
  const size_t now = std::min(room, s.pendingOutput.size());
  if (now > 0 && WriteBlock(port, reinterpret_cast<const uint8_t*>(s.pendingOutput.data()), static_cast<int>(now)) == 0)
    s.pendingOutput.erase(0, now);
  return s.pendingOutput.empty();
}

int BytesWaiting(SendSession& s) {
  return std::max(0, OutUsed(s.common.portHandle)) + static_cast<int>(s.pendingOutput.size());
}

std::string WhiteScanLine(SendSession& s) {
  PreparePageWidth(s);
  uint8_t raster[kConverterBufferSize] = {};
  const unsigned length = s.converter.CodeRasterLine(raster);
  return std::string(reinterpret_cast<const char*>(s.converter.CodedLine()), length);
}

std::string TextLineRows(SendSession& s, const FaxFont& font, const std::string& text) {
  PreparePageWidth(s);
  const size_t rasterBytes = s.converter.PageWidth / 8;
  std::string rows;
  for (unsigned row = 1; row <= font.Metrics().CellHeight; ++row) {
    uint8_t raster[kConverterBufferSize] = {};
    font.DrawTextRow(text, row, raster, rasterBytes);
    const unsigned length = s.converter.CodeRasterLine(raster);
    class1::AppendScanLine(rows, std::string_view(reinterpret_cast<const char*>(s.converter.CodedLine()), length),
                           s.modem.MinBytesPerLine);
  }
  return rows;
}

void QueueTextLine(SendSession& s, const FaxFont& font, const std::string& text) {
  QueueOutput(s, TextLineRows(s, font, text));
}

int QueuePageHeader(SendSession& s) {
  if (const int rc = s.smallFont.Load(kSmallFontGlyphBytes, s.modem.pageResolution == '1'); rc < 0) return rc;
  std::string start;
  class1::AppendWhiteLines(start, kLeadInWhiteLines, WhiteScanLine(s), s.modem.MinBytesPerLine);
  if (!s.HeaderLine.empty()) {
    const std::string header = ExpandHeader(s, s.HeaderLine);
    s.log.Note("header line: " + header);
    start += TextLineRows(s, s.smallFont, header);
  }
  QueueOutput(s, start);
  return 0;
}

}  // namespace ql
