#pragma once
// The TIFF line source: the first image of a bilevel TIFF file (1 bit per sample,
// uncompressed or PackBits, in one or more strips) as one fax page.

#include <vector>

#include "fax_document/apf/buffered_file.h"
#include "fax_document/convert/converter_core.h"

namespace ql {

class TiffSource : public LineSource {
 public:
  std::string DefaultExtension() const override { return "TIF"; }
  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore&) override { file_.Close(); }

 private:
  struct Strip {
    uint32_t offset;
    uint32_t byteCount;
  };
  int ReadDirectory();
  int ReadValues(uint16_t type, uint32_t count, uint32_t value, std::vector<uint32_t>& values);
  int StartStrip(size_t index);
  int ReadRow(uint8_t* buffer);
  uint16_t To16(const uint8_t* p) const;
  uint32_t To32(const uint8_t* p) const;

  BufferedFile file_;
  bool motorola_ = false;
  uint32_t width_ = 0;
  uint32_t rowBytes_ = 0;
  uint8_t lastMask_ = 0xFF;
  uint32_t height_ = 0;
  uint32_t compression_ = 1;
  uint32_t photometric_ = 0;
  uint32_t rowsPerStrip_ = 0;
  std::vector<Strip> strips_;
  size_t strip_ = 0;
  uint32_t rowInStrip_ = 0;
  uint32_t rowsInStrip_ = 0;
  uint32_t rowsDelivered_ = 0;
};

}  // namespace ql
