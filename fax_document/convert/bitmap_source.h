#pragma once
// The bitmap line source: one monochrome bitmap in memory becomes one fax page, a row
// per raster line, centred or doubled in width as the core decides from its width.

#include "fax_document/convert/converter_core.h"
#include "fax_document/convert/mono_bitmap.h"

namespace ql {

class BitmapSource : public LineSource {
 public:
  // The bitmap must outlive the conversion. A null bitmap fails to open with -1002.
  explicit BitmapSource(const TMonoBitmap* bitmap) : bitmap_(bitmap) {}

  std::string DefaultExtension() const override { return {}; }
  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore&) override {}

 private:
  const TMonoBitmap* bitmap_;
  int nextRow_ = 0;
};

}  // namespace ql
