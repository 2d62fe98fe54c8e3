#pragma once
// Normalising a fax before it is sent or viewed: every page recoded at high resolution on
// a page wide enough for the fax machines that receive it.

#include <filesystem>

namespace ql {

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
