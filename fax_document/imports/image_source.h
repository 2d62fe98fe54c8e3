#pragma once
// The picture line source of the document import: PNG, JPEG, GIF, WebP and every other
// image Qt's image readers know (and BMPs the converter's own reader does not take),
// scaled to the fax width and dithered. A picture about as tall as a page, or shorter,
// makes one page (shrunk to fit when it is a little too tall); a longer one runs on over
// as many pages as it needs.

#include <QImage>

#include <vector>

#include "fax_document/imports/fax_row_maker.h"
#include "fax_document/imports/import_source.h"

namespace ql {

class ImageSource : public ImportSource {
 public:
  explicit ImageSource(bool fine) : fine_(fine) {}

  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore&) override { image_ = QImage(); }

  // Rows of an A4 page at the fax resolution.
  static unsigned PageRows(bool fine) { return fine ? 2292 : 1146; }

 private:
  bool fine_;
  QImage image_;  // ARGB32
  unsigned row_ = 0;           // next picture row
  unsigned rowsOnPage_ = 0;
  unsigned faxRowsLeft_ = 0;   // of the whole picture
  std::vector<uint8_t> grey_;
  FaxRowMaker rows_;
};

// True when the converter's own BMP reader takes the file as it is: a monochrome BMP no
// wider than a fax page. Other BMPs come in through the image readers.
bool BmpReadDirectly(const std::filesystem::path& input);

}  // namespace ql
