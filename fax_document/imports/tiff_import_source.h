#pragma once
// The TIFF line source of the document import: every page of any TIFF libtiff reads
// (Group 3 and 4, LZW, Deflate, JPEG, PackBits, strips or tiles; bilevel, grey, palette
// or colour), each scaled from its own resolution to fax resolution. Bilevel pages keep
// sharp edges; grey and colour pages are dithered.

#include <tiffio.h>

#include <string>
#include <vector>

#include "fax_document/imports/fax_row_maker.h"
#include "fax_document/imports/import_source.h"

namespace ql {

class TiffImportSource : public ImportSource {
 public:
  explicit TiffImportSource(bool fine) : fine_(fine) {}
  ~TiffImportSource() override;

  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore& core) override;

 private:
  int StartPage(ConverterCore& core);
  // Reads the next source row into the row maker.
  int FeedRow();
  int Fail(const std::string& what);

  bool fine_;
  TIFF* tiff_ = nullptr;
  std::string libtiffSays_;  // libtiff's last error message
  unsigned pages_ = 0;
  unsigned page_ = 0;        // 0-based directory being read
  uint32_t width_ = 0, height_ = 0;
  uint32_t row_ = 0;         // next source row
  bool scanlines_ = false;   // bilevel strips, read row by row; otherwise RGBA bands
  bool minIsBlack_ = false;
  bool rgbaStarted_ = false;
  TIFFRGBAImage rgba_{};
  std::vector<uint32_t> band_;
  uint32_t bandFirst_ = 0, bandRows_ = 0;
  std::vector<uint8_t> bits_, grey_;
  FaxRowMaker rows_;
};

// True when the converter's own TIFF reader takes the file as it is: one bilevel image
// in strips, uncompressed or PackBits, no wider than a fax page.
bool TiffReadDirectly(const std::filesystem::path& input);

}  // namespace ql
