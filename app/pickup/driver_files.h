#pragma once
// The files the fax desk and the fax printer driver (ql-print) exchange:
//
//   QLPD.INI    in $XDG_CONFIG_HOME/quillet/ (~/.config/quillet/ when unset), written by
//               the desk at every start. Section "Location": "QLOutPath" the send folder
//               (with a trailing separator), "QLExecutable" the desk's program file.
//   NAME.APF    a fax dropped by the driver into the send folder,
//   NAME.ORQ    its descriptor: three lines, fax number, recipient, subject.
//
// The driver writes both files under temporary names that the pickup never looks at,
// renames the fax into place first and the descriptor last; so a descriptor that can be
// seen always stands beside a finished fax.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ql {

inline constexpr const char* kDriverIniName = "QLPD.INI";
inline constexpr const char* kDriverIniSection = "Location";
inline constexpr const char* kDescriptorExtension = ".ORQ";

// $XDG_CONFIG_HOME/quillet/QLPD.INI, or ~/.config/quillet/QLPD.INI.
std::filesystem::path DriverIniPath();

struct DriverLocation {
  std::filesystem::path outPath;     // the send folder
  std::filesystem::path executable;  // the fax desk's program file
};

// Writes the two keys for the data folder in use (the send folder) and the desk beside
// the running program, keeping anything else the file holds. False when it cannot be
// written.
bool WriteDriverIni(const std::filesystem::path& iniPath = DriverIniPath());
// The location written by the desk; nothing when the file or its send folder key is missing.
std::optional<DriverLocation> ReadDriverIni(const std::filesystem::path& iniPath = DriverIniPath());

struct FaxDescriptor {
  std::string number, recipient, subject;
};

// The descriptor's three lines (UTF-8; text in the Windows code page is converted). Nothing
// when the file cannot be read or has fewer than three lines.
std::optional<FaxDescriptor> ReadDescriptor(const std::filesystem::path& path);
// The file's text: three lines, each value on one line (line breaks become blanks).
std::string DescriptorText(const FaxDescriptor& descriptor);

// True when the file is a finished APF fax: its header carries the signature and at least
// one page, and every page lies inside the file. A fax still being written has no pages
// in its header yet, or pages that run past its end.
bool IsCompleteApf(const std::filesystem::path& path);

}  // namespace ql
