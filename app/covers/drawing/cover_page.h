#pragma once
// A cover sheet as a fax: the drawn page as a monochrome bitmap, converted into a
// one-page APF file at high resolution; and the small preview picture of a template.

#include <QImage>
#include <filesystem>

#include "app/covers/format/cover_sheet.h"
#include "fax_document/convert/mono_bitmap.h"

namespace ql {

// The values drawn for a sheet saved now: the sheet's, the sender's from the settings,
// today's date and the time in the system's short formats.
TCoverValues CoverValuesNow(const TCoverSheet& sheet);

// The page as a monochrome bitmap (bit 1 = white), dark pixels black.
TMonoBitmap ToMonoBitmap(const QImage& page);

// Draws the template at templatePath (an empty page with only the corner pixel when it
// is missing) with the values, and converts the page into output: options coYield only,
// high resolution, no left margin, so that the page is coded exactly as drawn. The page
// is converted into a temporary file beside output and renamed over it when complete, so
// a failed save leaves an existing cover as it was. 0, or the converter's negative code.
int MakeCoverFile(const std::filesystem::path& templatePath, const TCoverValues& values,
                  const std::filesystem::path& output);

// A template's preview picture: the page drawn with sample values, scaled down to the
// given width with grey levels, as 8-bit greyscale.
QImage CoverPreview(const QImage& page, int width);

}  // namespace ql
