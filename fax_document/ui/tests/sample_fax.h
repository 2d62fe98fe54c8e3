#pragma once
// Faxes for the viewer and printer tests, made by the converter core from bitmaps whose
// pages are told apart by their marks.

#include <filesystem>
#include <vector>

#include "fax_document/convert/mono_bitmap.h"

namespace ql::testing {

// A page of `height` rows at `width` pixels (1 = black bits): a frame, a solid block
// whose place depends on `seed`, and a band of noise, so every page differs.
TMonoBitmap PatternPage(int seed, int height = 1100, int width = 1728);

// Writes the pages as one APF file (margin 0, no doubling or centring). 0 or an error.
int WriteFax(const std::filesystem::path& apf, const std::vector<TMonoBitmap>& pages, bool highRes = true);

// A fax of `pages` pattern pages.
int WritePatternFax(const std::filesystem::path& apf, int pages, bool highRes = true, int height = 1100);

}  // namespace ql::testing
