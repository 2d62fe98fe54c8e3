// Fuzzes one image reader (chosen at build time) through a whole conversion to APF.

#include <memory>

#include "fax_document/sources/bmp_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/fuzz/fuzz_input_file.h"
#include "fax_document/sources/pcx_source.h"
#include "fax_document/sources/tiff_source.h"

namespace {

std::unique_ptr<ql::LineSource> MakeReader() {
#if defined(QL_FUZZ_READER_TIFF)
  return std::make_unique<ql::TiffSource>();
#elif defined(QL_FUZZ_READER_PCX)
  return std::make_unique<ql::PcxSource>();
#elif defined(QL_FUZZ_READER_DCX)
  return std::make_unique<ql::DcxSource>();
#else
  return std::make_unique<ql::BmpSource>();
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ql::fuzz::InputFile input(data, size, "IN.IMG");
  ql::ConverterCore core(MakeReader());
  // Options from the last byte: doubling, halving, centring; sometimes a wide page.
  const uint8_t knobs = size > 0 ? data[size - 1] : 0;
  core.SetOptions(knobs & (ql::coDoubleWidth | ql::coHalfHeight | ql::coCenterImage));
  core.SetPageWidth((knobs & 0x80) ? 2048 : 1728);
  core.SetHighRes((knobs & 0x40) != 0);
  // Stop runaway inputs (a header that promises millions of rows) after a few pages'
  // worth of lines, like a user pressing Cancel.
  core.SetStatus([](ql::ConverterCore& c, int, long, long) { return c.LineNumber > 20000; });
  core.ConvertToFile(input.path(), input.folder() / "OUT.APF");
  return 0;
}
