#pragma once
// Helpers shared by the fax document tests: rasters as bitmaps, APF page contents.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fax_document/convert/mono_bitmap.h"
#include "fax_document/reference/libtiff_codec.h"

namespace ql::testing {

using reference::Raster;

// A bitmap in the fax sense (1 = black) holding the rows.
TMonoBitmap BitmapOf(const Raster& rows, int width);
// The rows of a bitmap in the fax sense, each cut or padded to `bytes` bytes.
Raster RowsOf(const TMonoBitmap& bitmap, int bytes);

// The line records of a page (end-of-page record included), read with ApfReader.
std::vector<std::vector<uint8_t>> PageRecords(const std::filesystem::path& apf, unsigned page);
// The records of a page joined into one T.4 bit stream.
std::vector<uint8_t> PageStream(const std::filesystem::path& apf, unsigned page);

// Converts the rows into a one-page APF file at the given width with margin 0 and no
// doubling, halving or centring (options 0), standard resolution.
int ConvertRows(const Raster& rows, int width, const std::filesystem::path& apf, bool highRes = false);

// Writes a one-page APF file whose page is the bare T.4 stream (plain form, no line
// records), standard resolution.
void WritePlainPage(const std::filesystem::path& path, const std::vector<uint8_t>& t4, bool wide);

// Writes a file holding the bytes.
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

}  // namespace ql::testing
