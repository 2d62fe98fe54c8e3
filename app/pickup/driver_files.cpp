#include "app/pickup/driver_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/settings/work_folders.h"
#include "fax_document/apf/apf_file.h"
#include "platform/data_folder.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "table_engine/codepage.h"

namespace ql {
namespace {

constexpr const char* kOutPathKey = "QLOutPath";
constexpr const char* kExecutableKey = "QLExecutable";
constexpr const char* kDeskProgram = "ql";

// Folders are written with their trailing separator, as the driver joins names to them.
std::string WithSeparator(const std::filesystem::path& folder) {
  std::string text = folder.string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

// A value goes on one line of its own.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

}  // namespace

std::filesystem::path DriverIniPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::filesystem::path(home != nullptr ? home : "/") / ".config";
  }
  return folder / "quillet" / kDriverIniName;
}

bool WriteDriverIni(const std::filesystem::path& iniPath) {
  std::error_code ec;
  std::filesystem::create_directories(iniPath.parent_path(), ec);
  IniFile ini(iniPath);
  ini.WriteString(kDriverIniSection, kOutPathKey, WithSeparator(SendFolder()));
  ini.WriteString(kDriverIniSection, kExecutableKey, (ExecutableFolder() / kDeskProgram).string());
  return ini.Save();
}

std::optional<DriverLocation> ReadDriverIni(const std::filesystem::path& iniPath) {
  const IniFile ini(iniPath);
  const std::string out = ini.ReadString(kDriverIniSection, kOutPathKey, "");
  if (out.empty()) return std::nullopt;
  return DriverLocation{out, ini.ReadString(kDriverIniSection, kExecutableKey, "")};
}

std::optional<FaxDescriptor> ReadDescriptor(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  const std::vector<std::string> lines = SplitLines(xb::TextToUtf8(bytes));
  if (lines.size() < 3) return std::nullopt;
  return FaxDescriptor{lines[0], lines[1], lines[2]};
}

std::string DescriptorText(const FaxDescriptor& d) {
  return OneLine(d.number) + "\r\n" + OneLine(d.recipient) + "\r\n" + OneLine(d.subject) + "\r\n";
}

bool IsCompleteApf(const std::filesystem::path& path) {
  ApfReader reader;
  if (reader.Open(path) != 0 || reader.PageCount() == 0) return false;
  ApfPageHeader page;
  if (reader.LocatePage(reader.PageCount(), page) != 0) return false;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return !ec && reader.PageEndOffset() <= static_cast<long>(size);
}

}  // namespace ql
