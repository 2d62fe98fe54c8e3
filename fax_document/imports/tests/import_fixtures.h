#pragma once
// Fixtures of the document import tests, made by programs we did not write: documents
// drawn by Ghostscript from small PostScript programs, TIFFs written by libtiff, and the
// pages of a fax read back through libtiff's Group 3 decoder.

#include <filesystem>
#include <string>
#include <vector>

#include "fax_document/reference/libtiff_codec.h"

namespace ql::testing {

using reference::Raster;

struct PageImage {
  int width = 0;
  Raster rows;  // fax sense, 1 = black
};

// Whether pixel (x, y) of the page is black, and the share of black pixels in the box
// from (x0, y0) to (x1, y1), the far edges excluded.
int Black(const PageImage& page, int x, int y);
double BlackShare(const PageImage& page, int x0, int y0, int x1, int y1);

// Runs a shell command; true when it exits with 0.
bool Shell(const std::string& command);
void WriteText(const std::filesystem::path& path, const std::string& text);

// A PostScript program of `pages` pages of the given size in points, each with a page
// number in large type, lines of text, a grey box, a gradient image and thin rules.
std::string SamplePostScript(int pages, int widthPt = 595, int heightPt = 842);
// A well-formed PDF whose page tree holds no page.
std::string EmptyPdf();
// The PostScript program turned into PDF by Ghostscript's PDF writer.
bool MakePdf(const std::string& postscript, const std::filesystem::path& pdf);

// Every page of a bilevel TIFF, read with libtiff (photometric taken into account).
std::vector<PageImage> ReadTiffPages(const std::filesystem::path& tiff);
// Ghostscript's own fax rendering of a document: its Group 3 fax device at 204 x 196 (or
// 204 x 98), every page read back with libtiff.
std::vector<PageImage> GhostscriptFaxPages(const std::filesystem::path& document, bool fine);
// Every page of an APF file, each page's T.4 data decoded by libtiff.
std::vector<PageImage> ApfPages(const std::filesystem::path& apf);

// A TIFF page to write with libtiff: bilevel rows in the fax sense (bits = 1), or grey
// (bits = 8, samples = 1) or RGB (bits = 8, samples = 3) rows of bytes.
struct TiffPage {
  int width = 0;
  int bits = 1;
  int samples = 1;
  float xres = 204, yres = 196;
  Raster rows;
};
// Writes the pages uncompressed, several pages as one multi-page file.
bool WriteTiff(const std::filesystem::path& path, const std::vector<TiffPage>& pages);
// A bilevel fax page with text-like strokes, boxes and a thin diagonal.
TiffPage SampleFaxPage(int width, int rows, int seed);

// Files in the folder other than those named.
std::vector<std::string> OtherFiles(const std::filesystem::path& folder, const std::vector<std::string>& known);
// True when this process has no child process left, running or unreaped.
bool NoChildren();

}  // namespace ql::testing
