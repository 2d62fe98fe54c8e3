#include "fax_document/ui/viewer_pages.h"

#include <new>

#include "fax_document/ui/mono_rotation.h"
#include "serial/errors/error_codes.h"

namespace ql {

int TViewerPages::Open(const std::filesystem::path& file) {
  Close();
  ApfFileHeader header;
  if (const int rc = core_.ReadFileHeader(file, header); rc < 0) return rc;
  try {
    pages_.assign(header.PageCount, TViewPage{});
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  file_ = file;
  return 0;
}

void TViewerPages::Close() {
  pages_.clear();
  file_.clear();
}

int TViewerPages::UnpackDetached(unsigned page, int rotation, std::shared_ptr<TMonoBitmap>& bitmap) {
  if (gate_)
    if (const int rc = gate_(page); rc < 0) return rc;
  ApfPageHeader header;
  if (const int rc = core_.ReadPageHeader(file_, page, header); rc < 0) return rc;
  lastFlags_ = header.PageFlags;
  auto result = std::make_shared<TMonoBitmap>();
  if (const int rc = core_.UnpackPageToBitmap(file_, page, true, *result); rc < 0) return rc;
  if (rotation % 4 != 0) {
    try {
      *result = RotateClockwise(*result, rotation);
    } catch (const std::bad_alloc&) {
      return ecOutOfMemory;
    }
  }
  bitmap = std::move(result);
  return 0;
}

int TViewerPages::Unpack(unsigned page, int rotation) {
  std::shared_ptr<TMonoBitmap> bitmap;
  if (const int rc = UnpackDetached(page, rotation, bitmap); rc < 0) return rc;
  // The file may have been closed while the unpacker let messages through.
  if (page > pages_.size()) return ecNoImageLoaded;
  TViewPage& entry = Page(page);
  entry.Width = bitmap->Width();
  entry.Height = bitmap->Height();
  entry.Bitmap = std::move(bitmap);
  return 0;
}

void TViewerPages::ReleaseAround(unsigned current) {
  for (unsigned p = 1; p <= Count(); ++p) {
    const unsigned distance = p > current ? p - current : current - p;
    if (distance > kKeptAround) Page(p).Bitmap.reset();
  }
}

void TViewerPages::ReleaseAllBut(unsigned keep) {
  for (unsigned p = 1; p <= Count(); ++p)
    if (p != keep) Page(p).Bitmap.reset();
}

int TViewerPages::RotateLoaded(int turns) {
  try {
    for (TViewPage& page : pages_) {
      if (!page.Bitmap) continue;
      page.Bitmap = std::make_shared<TMonoBitmap>(RotateClockwise(*page.Bitmap, turns));
      page.Width = page.Bitmap->Width();
      page.Height = page.Bitmap->Height();
    }
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  return 0;
}

size_t TViewerPages::BytesHeld() const {
  size_t bytes = 0;
  for (const TViewPage& page : pages_)
    if (page.Bitmap) bytes += page.Bitmap->Bits().size();
  return bytes;
}

}  // namespace ql
