#pragma once
// The description of a cover sheet (".FCD", beside the sheet's APF file in "SEND/"), from
// which the sheet can be edited and drawn again. Plain text lines:
//   1. the template's file name without folder ("ql0001.fct");
//   2. exactly five characters, one per importance flag (Urgent, For Review, Please
//      Comment, Please Reply, Please Recycle): "X" when set, a blank when not;
//   3. and on: the lines of the message as typed.
// Written in UTF-8 with "\r\n" line ends; read in UTF-8, or in code page 1252 when the
// file is not valid UTF-8, with "\r\n", "\n" or "\r" line ends.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace ql {

inline constexpr int kImportanceFlagCount = 5;
enum TImportanceFlag { ifUrgent, ifForReview, ifPleaseComment, ifPleaseReply, ifPleaseRecycle };
using TImportanceFlags = std::array<bool, kImportanceFlagCount>;

// The flags of a flags line: only a line of exactly five characters counts, and then a
// flag is set where its character is "X". Any other line leaves every flag cleared.
TImportanceFlags FlagsFromString(std::string_view line);
std::string FlagsToString(const TImportanceFlags& flags);
bool AnyFlagSet(const TImportanceFlags& flags);

inline constexpr const char* kDefaultTemplateName = "ql0001.fct";

struct TCoverDescription {
  std::string TemplateName = kDefaultTemplateName;  // a bare file name
  std::string Flags;                                // the flags line as stored
  std::vector<std::string> MessageLines;

  bool operator==(const TCoverDescription&) const = default;
};

// The description in a text. The template name is reduced to its file-name part; missing
// lines leave the defaults (template "ql0001.fct", no flags, no message).
TCoverDescription ParseCoverDescription(std::string_view text);
std::string FormatCoverDescription(const TCoverDescription& description);

// Nothing when the file does not exist or cannot be read.
std::optional<TCoverDescription> ReadCoverDescription(const std::filesystem::path& path);
// Writes the file whole or not at all; false when it cannot be written.
bool WriteCoverDescription(const std::filesystem::path& path, const TCoverDescription& description);

// The ".FCD" file that goes with a cover sheet's APF file (same folder and name), in
// whatever case it exists there; the upper-case spelling when there is none yet.
std::filesystem::path DescriptionPathOf(const std::filesystem::path& cover);

// Text of a file in UTF-8 as it is, or converted from code page 1252 when it is not
// valid UTF-8.
std::string DecodeCoverText(std::string_view bytes);
// The lines of a text file decoded so; nothing when the file cannot be read.
std::optional<std::vector<std::string>> ReadCoverTextLines(const std::filesystem::path& path);
// Lines joined with "\n".
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace ql
