#pragma once
// File names as the program uses them. The program writes one spelling of each name;
// names that come from outside are found without regard to case, and names that come
// from data (a table row, a descriptor) are cut to a bare file name before they are
// joined to a folder, so a stored name can never reach outside its folder.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ql {

// The last component of a stored name, with '\\' and '/' both taken as separators;
// "." and ".." give an empty name.
std::string BareFileName(std::string_view stored);

// The entry of folder whose name equals name without regard to case (an exact match
// wins), or nothing when there is none.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name);

// folder / name when such an entry exists in any case, else folder / name as given.
std::filesystem::path ResolveIgnoringCase(const std::filesystem::path& folder, std::string_view name);

}  // namespace ql
