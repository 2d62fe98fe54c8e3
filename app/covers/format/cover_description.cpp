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

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  return text;
}

std::string DecodeCoverText(std::string_view bytes) {
  return xb::TextToUtf8(bytes);
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
