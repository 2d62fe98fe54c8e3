// Fuzzes the APF reader and the unpacker: every page of the input is decoded into a
// bitmap, with whitespace compression and scaling on for half of the inputs.

#include "fax_document/fuzz/fuzz_input_file.h"
#include "fax_document/unpack/unpacker_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ql::fuzz::InputFile input(data, size, "IN.APF");
  ql::UnpackerCore core;
  if (size > 0 && (data[size - 1] & 1)) {
    core.SetWhitespace(4, 2);
    core.SetScale(1, 3, 2, 1);
    core.SetFlags(ql::ufHalfWidth);
  }
  ql::ApfFileHeader header;
  if (core.ReadFileHeader(input.path(), header) < 0) return 0;
  const unsigned pages = header.PageCount < 4 ? header.PageCount : 4;
  for (unsigned p = 0; p <= pages + 1; ++p) {
    ql::TMonoBitmap bitmap;
    core.UnpackPageToBitmap(input.path(), p, (p & 1) != 0, bitmap);
  }
  return 0;
}
