#pragma once
// Operations on whole fax files that the send flow and the view command share.

#include <filesystem>

namespace ql {

// Appends the pages of `addition` to `target`. Both must exist (-2 otherwise); either
// not being an APF file gives -8001. The target is replaced whole, never half written.
int AppendApf(const std::filesystem::path& target, const std::filesystem::path& addition);

// Normalises a fax for sending or viewing: every page is unpacked (standard pages doubled
// in height), placed on a white page at least 1600 or 1664 pixels wide (by its height),
// marked at its right edge's top and bottom, and coded again at high resolution with no
// margin. The pages are made as "TEMP<n>.apf" in `workFolder` and joined into `target`.
// A missing source is success with nothing written. On failure no target is written.
int NormaliseFax(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::filesystem::path& workFolder);

// The width a normalised page of the given bitmap size gets.
int NormalisedPageWidth(int width, int height);

}  // namespace ql
