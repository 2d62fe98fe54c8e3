#pragma once
// A plain INI file with the semantics of the classic profile functions: a key is
// read with a default, a write replaces the key in place or appends it to its
// section (adding the section at the end when missing), and everything else in the
// file (other sections, key order, comments) is kept. Section and key names match
// without regard to case. A file that does not exist reads as empty.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ql {

class IniFile {
 public:
  IniFile() = default;
  // Reads the file; a missing or unreadable file gives an empty INI.
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& Path() const { return path_; }

  // Raw value of a key, or nothing when the section or key is missing. Values are
  // trimmed of blanks, and one pair of enclosing quotes is removed.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Text value, cut to maxLength characters (1023, like the profile buffer of 1024).
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def,
                         std::size_t maxLength = 1023) const;
  // Integer in decimal, or hexadecimal with a leading 0x/0X; empty or malformed gives def.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Boolean stored as an integer: non-zero is true; empty or malformed gives def.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  bool HasSection(std::string_view section) const;
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

  // Writes the whole file through a temporary name and a rename, so a crash never
  // leaves a half-written file. Returns false when the system refuses the write.
  bool Save() const;
  bool SaveAs(const std::filesystem::path& path) const;

  std::string Text() const;

 private:
  struct Line {
    std::string text;     // the line as it stands in the file
    std::string section;  // for a section header: its name
    std::string key;      // for a key line: its name
    bool isSection = false;
    bool isKey = false;
  };
  static Line Parse(std::string text);
  // Index range [first, last) of the lines that belong to a section (after its header);
  // nothing when the section is missing.
  std::optional<std::pair<std::size_t, std::size_t>> SectionRange(std::string_view section) const;

  std::filesystem::path path_;
  std::vector<Line> lines_;
};

// Parses an integer the way the settings file stores them. Nothing when malformed.
std::optional<int> ParseIniInteger(std::string_view text);

}  // namespace ql
