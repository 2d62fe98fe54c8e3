#pragma once
// Test documents and what the far side must keep of them. A document is a letter drawn
// by the fax converter from text, as the program makes faxes; a page the far side kept
// must be, row for row, the eight white lines and the header line the engine puts on
// top, then the page itself. Both sides are decoded with libtiff.

#include <filesystem>
#include <string>
#include <vector>

#include "fax_document/reference/libtiff_codec.h"

namespace ql::testing {

using reference::Raster;

struct LetterShape {
  int pages = 1;
  int linesPerPage = 12;  // text lines of the standard font (16 rows each at normal resolution)
  bool fine = false;
  bool wide = false;
};

// Writes a letter as text and converts it into an APF file; returns the file.
std::filesystem::path WriteLetter(const std::filesystem::path& dir, const std::string& name, const LetterShape& shape);
// Writes the letter's text only (for text covers).
std::filesystem::path WriteText(const std::filesystem::path& dir, const std::string& name, int lines);

// The pages of an APF file, decoded.
std::vector<Raster> DecodeApf(const std::filesystem::path& apf);
// The pages of a TIFF file (all its directories), decoded.
std::vector<Raster> ReadTiffPages(const std::filesystem::path& tiff);
// Several one-page TIFF files (efax keeps one a page).
std::vector<Raster> ReadTiffFiles(const std::vector<std::filesystem::path>& files);

// Writes pages as a multi-page TIFF (CCITT Group 3), for a far machine to send.
void WriteTiffPages(const std::filesystem::path& tiff, const std::vector<Raster>& pages, bool fine);
// The pages of an APF file whose pages are plain T.4 streams (as received), each
// decoded for the number of rows given.
std::vector<Raster> DecodeReceivedApf(const std::filesystem::path& apf, const std::vector<size_t>& rows);

// What the far side keeps of a page sent with a header line: eight white rows, the
// header drawn with the small fax font after a margin of 50 pixels (rows doubled at
// fine resolution), then the page.
Raster ExpectedPage(const Raster& page, const std::string& header, bool fine, int width);

// Empty when the rasters are the same, else where they first differ.
std::string Difference(const Raster& got, const Raster& want);

}  // namespace ql::testing
