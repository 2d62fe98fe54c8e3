#include "fax_document/components/fax_normalise.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "fax_document/apf/apf_append.h"
#include "fax_document/apf/apf_file.h"
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

TFaxNormaliser::TFaxNormaliser(std::filesystem::path source, std::filesystem::path workFolder, bool yield)
    : source_(std::move(source)), workFolder_(std::move(workFolder)), yield_(yield) {}

TFaxNormaliser::~TFaxNormaliser() { RemovePageFiles(); }

void TFaxNormaliser::RemovePageFiles() {
  std::error_code ec;
  for (const auto& page : pages_) std::filesystem::remove(page, ec);
  pages_.clear();
}

int TFaxNormaliser::Start() {
  RemovePageFiles();
  pageCount_ = 0;
  ApfFileHeader header;
  if (const int rc = ReadApfFileHeader(source_, header); rc < 0) return rc;
  if (header.PageCount == 0) return ecFaxBadFormat;
  pageCount_ = header.PageCount;
  stationId_ = header.SenderStation;
  return 0;
}

int TFaxNormaliser::NormaliseNextPage() {
  if (Done()) return 0;
  const unsigned p = PagesDone() + 1;
  UnpackerCore unpacker;
  unpacker.UnpackFlags = yield_ ? ufYield | ufDoubleHeight : ufDoubleHeight;
  TMonoBitmap bitmap;
  if (const int rc = unpacker.UnpackPageToBitmap(source_, p, true, bitmap); rc < 0) return rc;
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
  converter.SetOptions(yield_ ? coYield : 0);
  converter.SetPageWidth(width > 1728 ? 2048 : 1728);
  converter.SetStationId(stationId_);
  const std::filesystem::path file = workFolder_ / ("TEMP" + std::to_string(p) + ".apf");
  if (const int rc = converter.ConvertToFile("bitmap", file); rc < 0) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return rc;
  }
  pages_.push_back(file);
  return 0;
}

int NormaliseFax(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::filesystem::path& workFolder) {
  std::error_code ec;
  if (!std::filesystem::exists(source, ec)) return 0;
  TFaxNormaliser normaliser(source, workFolder);
  if (const int rc = normaliser.Start(); rc < 0) return rc;
  while (!normaliser.Done())
    if (const int rc = normaliser.NormaliseNextPage(); rc < 0) return rc;
  // One pass joins the pages: appending them one by one would rewrite the growing file
  // for every page.
  return JoinApf(normaliser.PageFiles(), target);
}

}  // namespace ql
