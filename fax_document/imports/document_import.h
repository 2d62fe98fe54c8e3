#pragma once
// Documents of every common kind into one APF fax file: PDF and PostScript (rendered by
// Ghostscript), TIFF of any compression and colour, PNG, JPEG and the other images Qt
// reads, and the kinds the converter reads itself (text, PCX, DCX, BMP).

#include <filesystem>
#include <functional>
#include <string>

namespace ql {

struct ImportOptions {
  bool fine = true;                              // 204 x 196 dpi; false: 204 x 98 (normal)
  std::function<bool(int pagesDone)> progress;  // may be empty; returning false aborts
  // (progress is told at the start, after every page, and now and then within a page
  // with the same count, so that a window can stay responsive)
};

struct ImportResult {
  bool ok = false;
  int pages = 0;
  std::string error;
  // On success: what the reader had to mend to read the document (a damaged PDF that
  // Ghostscript repaired, for one), worth showing, since pages may have lost content.
  std::string warning;
};

// Kind of document by its content (not its name): "pdf", "postscript", "tiff", "image", or the
// converter's own kinds ("text", "pcx", "dcx", "bmp"); empty when unknown.
std::string DocumentKind(const std::filesystem::path& input);

// True when the converter's own reader of `kind` takes the document as it stands: text,
// PCX and DCX, a monochrome BMP, a single-page bilevel TIFF stored plain or PackBits.
bool ConverterReadsDirectly(const std::filesystem::path& input, const std::string& kind);

// Turns the document into one APF fax file at outputApf (written under a temporary name in the
// same folder and renamed at the end, so no half-written APF is ever left; on error nothing is left).
ImportResult ImportDocument(const std::filesystem::path& input, const std::filesystem::path& outputApf,
                            const ImportOptions& options = {});

}  // namespace ql
