#include "platform/ini_file.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/text.h"

namespace ql {

namespace {

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

}  // namespace

std::optional<int> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  // Parse the magnitude wide enough to hold INT_MAX + 1, so "-2147483648" and
  // "0xFFFFFFFF" (a negative value written as hex) both come out right.
  unsigned long long magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (base == 16 && !negative && magnitude <= UINT_MAX) return static_cast<int>(static_cast<unsigned>(magnitude));
  if (negative) {
    if (magnitude > static_cast<unsigned long long>(INT_MAX) + 1) return std::nullopt;
    return static_cast<int>(-static_cast<long long>(magnitude));
  }
  if (magnitude > static_cast<unsigned long long>(INT_MAX)) return std::nullopt;
  return static_cast<int>(magnitude);
}

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::string text;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    lines_.push_back(Parse(std::move(text)));
  }
}

IniFile::Line IniFile::Parse(std::string text) {
  Line line;
  const std::string_view trimmed = Trim(text);
  if (trimmed.size() >= 2 && trimmed.front() == '[') {
    const auto close = trimmed.find(']');
    if (close != std::string_view::npos) {
      line.isSection = true;
      line.section = std::string(Trim(trimmed.substr(1, close - 1)));
    }
  } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
    const auto eq = trimmed.find('=');
    if (eq != std::string_view::npos) {
      line.isKey = true;
      line.key = std::string(Trim(trimmed.substr(0, eq)));
    }
  }
  line.text = std::move(text);
  return line;
}

std::optional<std::pair<std::size_t, std::size_t>> IniFile::SectionRange(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!lines_[i].isSection || !EqualsIgnoreCase(lines_[i].section, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !lines_[end].isSection) ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
  const auto range = SectionRange(section);
  if (!range) return std::nullopt;
  for (std::size_t i = range->first; i < range->second; ++i) {
    const Line& line = lines_[i];
    if (line.isKey && EqualsIgnoreCase(line.key, key)) {
      const std::string_view text = line.text;
      return std::string(Unquote(Trim(text.substr(text.find('=') + 1))));
    }
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def,
                                std::size_t maxLength) const {
  std::string value = Find(section, key).value_or(std::string(def));
  if (value.size() > maxLength) value.resize(maxLength);
  return value;
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const auto raw = Find(section, key);
  if (!raw) return def;
  return ParseIniInteger(*raw).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string text = std::string(key) + "=" + std::string(value);
  if (const auto range = SectionRange(section)) {
    std::size_t lastKey = range->first;  // new keys go after the section's last key, before blank lines
    for (std::size_t i = range->first; i < range->second; ++i) {
      Line& line = lines_[i];
      if (line.isKey && EqualsIgnoreCase(line.key, key)) {
        // Keep the spelling of the key already in the file.
        line.text = line.key + "=" + std::string(value);
        return;
      }
      if (!Trim(line.text).empty()) lastKey = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastKey), Parse(std::move(text)));
    return;
  }
  if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Parse(""));
  std::string header(1, '[');  // built by appending: GCC 12 misreads "[" + s + "]" as overlapping
  header.append(section).push_back(']');
  lines_.push_back(Parse(std::move(header)));
  lines_.push_back(Parse(std::move(text)));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::HasSection(std::string_view section) const { return SectionRange(section).has_value(); }

std::vector<std::string> IniFile::Sections() const {
  std::vector<std::string> names;
  for (const Line& line : lines_)
    if (line.isSection) names.push_back(line.section);
  return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  std::vector<std::string> names;
  if (const auto range = SectionRange(section))
    for (std::size_t i = range->first; i < range->second; ++i)
      if (lines_[i].isKey) names.push_back(lines_[i].key);
  return names;
}

std::string IniFile::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.text;
    text += '\n';
  }
  return text;
}

bool IniFile::Save() const { return SaveAs(path_); }

bool IniFile::SaveAs(const std::filesystem::path& path) const { return WriteFileAtomically(path, Text()); }

}  // namespace ql
