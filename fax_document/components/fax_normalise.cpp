#include "fax_document/components/fax_normalise.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fax_document/apf/apf_append.h"
#include "fax_document/apf/apf_file.h"
#include "fax_document/apf/file_errors.h"
#include "fax_document/convert/bitmap_source.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/unpack/unpacker_core.h"
#include "serial/errors/error_codes.h"

namespace ql {

int NormalisedPageWidth(int width, int height) {
  // The send flow's printer-driver pages are 2296, or 2157 to 2291 rows tall; their
  // narrower minimum keeps those pages at the width the driver meant. A page wider than
  // the minimum keeps its width, so nothing at its right edge is cut off.
  if (height >= 2157 && height <= 2291 && height != 2160) return std::max(width, 1600);
  return std::max(width, 1664);
}

int NormaliseFax(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::filesystem::path& workFolder) {
  std::error_code ec;
  if (!std::filesystem::exists(source, ec)) return 0;
  UnpackerCore unpacker;
  unpacker.SetFlags(ufYield | ufDoubleHeight);
  ApfFileHeader header;
  if (const int rc = unpacker.ReadFileHeader(source, header); rc < 0) return rc;
  if (header.PageCount == 0) return ecFaxBadFormat;

  std::vector<std::filesystem::path> pages;
  const auto removePages = [&] {
    for (const auto& page : pages) std::filesystem::remove(page, ec);
  };
  int rc = 0;
  for (unsigned p = 1; p <= header.PageCount && rc >= 0; ++p) {
    TMonoBitmap bitmap;
    rc = unpacker.UnpackPageToBitmap(source, p, true, bitmap);
    if (rc < 0) break;
    const int height = std::max(bitmap.Height(), 1);
    const int width = std::min(NormalisedPageWidth(bitmap.Width(), height), 2048);
    TMonoBitmap page(width, height, true);
    page.CopyFrom(bitmap);
    // Marks at the right edge keep the converter from trimming the page narrower.
    page.SetBlack(width - 1, 0);
    page.SetBlack(width - 1, height - 1);
    ConverterCore converter(std::make_unique<BitmapSource>(&page));
    converter.SetHighRes(true);
    converter.SetMargins(0, 0);
    converter.SetOptions(coYield);
    converter.SetPageWidth(width > 1728 ? 2048 : 1728);
    converter.SetStationId(header.SenderStation);
    pages.push_back(workFolder / ("TEMP" + std::to_string(p) + ".apf"));
    rc = converter.ConvertToFile("bitmap", pages.back());
  }
  // One pass joins the pages: appending them one by one would rewrite the growing file
  // for every page.
  if (rc >= 0) rc = JoinApf(pages, target);
  removePages();
  return rc;
}

}  // namespace ql
