// Telling the kind of a document from its first bytes, never from its name: a dropped
// or printed file may carry any name.

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <fstream>
#include <string_view>

#include "fax_document/imports/document_import.h"

namespace ql {
namespace {

constexpr size_t kSniffBytes = 4096;

bool StartsWith(std::string_view data, std::string_view prefix) { return data.substr(0, prefix.size()) == prefix; }

uint32_t Little32(std::string_view data) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
  return v;
}

// Plain text: no NUL bytes and hardly any control characters other than the ones text
// uses (tab, line feed, form feed, carriage return, the DOS end-of-file mark).
bool LooksLikeText(std::string_view data) {
  size_t odd = 0;
  for (const char ch : data) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0) return false;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1A && c != 0x1B) ++odd;
  }
  return odd * 100 <= data.size();
}

}  // namespace

std::string DocumentKind(const std::filesystem::path& input) {
  std::ifstream in(input, std::ios::binary);
  if (!in) return {};
  std::string bytes(kSniffBytes, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  const std::string_view data(bytes);
  if (data.empty()) return {};

  // PDF readers accept the header anywhere in the first kilobyte.
  if (data.substr(0, 1024).find("%PDF-") != std::string_view::npos) return "pdf";
  if (StartsWith(data, "%!") || StartsWith(data, "\x04%!") || StartsWith(data, "\xC5\xD0\xD3\xC6")) return "postscript";
  if (StartsWith(data, std::string_view("II*\0", 4)) || StartsWith(data, std::string_view("MM\0*", 4)) ||
      StartsWith(data, std::string_view("II+\0", 4)) || StartsWith(data, std::string_view("MM\0+", 4)))
    return "tiff";
  if (data.size() >= 4 && Little32(data) == 987654321u) return "dcx";
  if (StartsWith(data, "BM") && data.size() >= 26) return "bmp";
  // PCX: manufacturer 10, a known version, run-length encoding, a plausible depth.
  if (data.size() >= 128 && data[0] == 10 && data[2] == 1) {
    const auto version = static_cast<unsigned char>(data[1]), depth = static_cast<unsigned char>(data[3]);
    if (version <= 5 && version != 1 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) return "pcx";
  }

  QByteArray head(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&head);
  buffer.open(QIODevice::ReadOnly);
  if (!QImageReader::imageFormat(&buffer).isEmpty()) return "image";
  if (LooksLikeText(data)) return "text";
  return {};
}

}  // namespace ql
