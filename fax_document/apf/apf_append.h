#pragma once
// Appending the pages of one APF file to another: the send flow joins a cover sheet and
// its document this way, and normalising joins the pages it recoded.

#include <filesystem>

namespace ql {

// Appends the pages of `addition` to `target`. Both must exist (-2 otherwise); either
// not being an APF file gives -8001. The target is replaced whole, never half written.
int AppendApf(const std::filesystem::path& target, const std::filesystem::path& addition);

}  // namespace ql
