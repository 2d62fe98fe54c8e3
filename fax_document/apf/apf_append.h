#pragma once
// Appending the pages of one APF file to another: the send flow joins a cover sheet and
// its document this way, and normalising joins the pages it recoded.

#include <filesystem>
#include <vector>

namespace ql {

// Appends the pages of `addition` to `target`. Both must exist (-2 otherwise); either
// not being an APF file gives -8001. The target is replaced whole, never half written.
int AppendApf(const std::filesystem::path& target, const std::filesystem::path& addition);

// Writes `target` as the pages of every file of `parts` in their order, in one pass, with the
// file header (station ID, resolution) of the first part. `target` may be one of the parts.
// Every part must exist (-2) and be an APF file (-8001) before anything is written; the
// target is replaced whole, never half written.
int JoinApf(const std::vector<std::filesystem::path>& parts, const std::filesystem::path& target);

// Pages `first` to `last` (1-based; `last` 0: to the end) of an APF file.
struct TApfPages {
  std::filesystem::path file;
  unsigned first = 1;
  unsigned last = 0;
};
// As JoinApf, with a range of pages of each part. A range that starts beyond its file's
// last page adds nothing; one that ends beyond it gives -8001.
int JoinApfPages(const std::vector<TApfPages>& parts, const std::filesystem::path& target);

}  // namespace ql
