#include "app/covers/format/cover_description.h"

#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"
#include "platform/file_names.h"
#include "table_engine/codepage.h"

namespace ql {
namespace {

constexpr char kFlagSet = 'X';
constexpr char kFlagClear = ' ';

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t follow = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (c < 0x80) { ++i; continue; }
    if ((c & 0xE0) == 0xC0) { follow = 1; minimum = 0x80; code = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { follow = 2; minimum = 0x800; code = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { follow = 3; minimum = 0x10000; code = c & 0x07; }
    else return false;
    for (size_t k = 1; k <= follow; ++k) {
      if (i + k >= s.size()) return false;
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += follow + 1;
  }
  return true;
}

}  // namespace

TImportanceFlags FlagsFromString(std::string_view line) {
  TImportanceFlags flags{};
  if (line.size() != kImportanceFlagCount) return flags;
  for (int i = 0; i < kImportanceFlagCount; ++i) flags[i] = line[i] == kFlagSet;
  return flags;
}

std::string FlagsToString(const TImportanceFlags& flags) {
  std::string line;
  for (bool set : flags) line.push_back(set ? kFlagSet : kFlagClear);
  return line;
}

bool AnyFlagSet(const TImportanceFlags& flags) {
  for (bool set : flags)
    if (set) return true;
  return false;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  return text;
}

std::string DecodeCoverText(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : xb::Cp1252ToUtf8(bytes);
}

std::optional<std::vector<std::string>> ReadCoverTextLines(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return SplitLines(DecodeCoverText(bytes));
}

TCoverDescription ParseCoverDescription(std::string_view text) {
  const std::vector<std::string> lines = SplitLines(DecodeCoverText(text));
  TCoverDescription description;
  if (!lines.empty()) {
    const std::string name = BareFileName(lines[0]);
    if (!name.empty()) description.TemplateName = name;
  }
  if (lines.size() > 1) description.Flags = lines[1];
  if (lines.size() > 2) description.MessageLines.assign(lines.begin() + 2, lines.end());
  return description;
}

std::string FormatCoverDescription(const TCoverDescription& description) {
  std::string text = description.TemplateName + "\r\n" + description.Flags + "\r\n";
  for (const std::string& line : description.MessageLines) text += line + "\r\n";
  return text;
}

std::optional<TCoverDescription> ReadCoverDescription(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return ParseCoverDescription(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

bool WriteCoverDescription(const std::filesystem::path& path, const TCoverDescription& description) {
  return WriteFileAtomically(path, FormatCoverDescription(description));
}

std::filesystem::path DescriptionPathOf(const std::filesystem::path& cover) {
  std::filesystem::path name = cover.filename();
  name.replace_extension(".FCD");
  return ResolveIgnoringCase(cover.parent_path(), name.string());
}

}  // namespace ql
