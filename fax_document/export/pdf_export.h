#pragma once
// A fax as a PDF document: one PDF page per fax page, at the fax's own size and
// resolution (1728 pels across 215 mm; 3.85 or 7.7 lines per mm), so that it prints at
// scale. Each page is one image coded with T.6 (Group 4), the most compact lossless code
// for fax pages that every PDF reader decodes.

#include <filesystem>
#include <functional>

namespace ql {

// Page size of a fax page in PDF points (1/72 inch).
struct TPdfPageSize {
  double width = 0;
  double height = 0;
};
TPdfPageSize FaxPageSizePoints(int columns, int rows, bool highRes);

// Told after each page (pages done, page total); returning false stops the export.
using PdfExportProgress = std::function<bool(unsigned done, unsigned total)>;

// Writes `apf` as the PDF file `pdf`, whole or not at all. Returns 0, -2 or -8001 for a
// missing or foreign source, the unpacker's error for a page that cannot be read, -8004
// when the progress callback stopped the export, or a file error. A page that holds no
// lines becomes a blank page of A4 length.
int ExportFaxToPdf(const std::filesystem::path& apf, const std::filesystem::path& pdf,
                   const PdfExportProgress& progress = {});

}  // namespace ql
