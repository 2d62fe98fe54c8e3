#pragma once
// The BMP line source: a monochrome BMP as one fax page. A colour or grey BMP is first
// dithered to black and white into a temporary "~DIT" file, which is read instead and
// deleted by the converter after the conversion.

#include "fax_document/apf/buffered_file.h"
#include "fax_document/convert/converter_core.h"

namespace ql {

class BmpSource : public LineSource {
 public:
  std::string DefaultExtension() const override { return "BMP"; }
  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore&) override { file_.Close(); }
  std::filesystem::path TemporaryFile() const override { return dithered_; }

 private:
  // Dithers a BMP that is not monochrome into a temporary file; returns the file to read.
  std::filesystem::path DitherIfColour(const std::filesystem::path& input);
  int OpenMonochrome(ConverterCore& core);

  BufferedFile file_;
  std::filesystem::path dithered_;
  unsigned width_ = 0;
  unsigned height_ = 0;
  unsigned rowBytes_ = 0;
  unsigned storedRow_ = 0;
  long firstRow_ = 0;   // file position of the top image row
  bool bottomUp_ = true;
  bool oneIsWhite_ = true;
  unsigned rowsDelivered_ = 0;
};

}  // namespace ql
