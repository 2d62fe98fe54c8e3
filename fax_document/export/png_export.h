#pragma once
// Writes a monochrome bitmap as a 1-bit greyscale PNG file.

#include <filesystem>

#include "fax_document/convert/mono_bitmap.h"

namespace ql {

// Returns 0, a file error, or -8005 when the bitmap is empty or libpng fails.
int WritePng(const std::filesystem::path& path, const TMonoBitmap& bitmap);

}  // namespace ql
