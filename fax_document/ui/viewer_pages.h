#pragma once
// The pages of the fax a viewer shows: one entry per page, unpacked on demand by the
// viewer's unpacker core, turned by the viewer's rotation, and released again when they
// leave the small window of pages kept around the current one (all pages stay with
// "load whole fax").

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "fax_document/convert/mono_bitmap.h"
#include "fax_document/unpack/unpacker_core.h"

namespace ql {

struct TViewPage {
  int Width = 0;
  int Height = 0;
  std::shared_ptr<TMonoBitmap> Bitmap;  // null: not unpacked
};

class TViewerPages {
 public:
  // Pages kept on each side of the current one while not loading the whole fax.
  static constexpr unsigned kKeptAround = 1;

  UnpackerCore& Core() { return core_; }
  // Asked before any page is read (a file still being finished can finish it first); a
  // negative result is the read's error.
  void SetGate(std::function<int(unsigned page)> gate) { gate_ = std::move(gate); }

  // Reads the file header and makes one empty entry per page. -2, -8001 or -8.
  int Open(const std::filesystem::path& file);
  void Close();
  bool IsOpen() const { return !file_.empty(); }
  const std::filesystem::path& File() const { return file_; }
  unsigned Count() const { return static_cast<unsigned>(pages_.size()); }
  TViewPage& Page(unsigned page) { return pages_[page - 1]; }
  bool Loaded(unsigned page) const { return pages_[page - 1].Bitmap != nullptr; }

  // Unpacks a page (inverted for display) and turns it by `rotation` quarter turns.
  int Unpack(unsigned page, int rotation);
  // A page unpacked for a caller without being kept.
  int UnpackDetached(unsigned page, int rotation, std::shared_ptr<TMonoBitmap>& bitmap);
  // Releases every page outside the window around `current`.
  void ReleaseAround(unsigned current);
  // Releases every page but `keep` (0: all).
  void ReleaseAllBut(unsigned keep);
  // Turns every loaded page by `turns` quarter turns; -8 when memory fails.
  int RotateLoaded(int turns);
  // The page flags of the page last read.
  uint16_t LastPageFlags() const { return lastFlags_; }
  // Bytes held by unpacked pages.
  size_t BytesHeld() const;

 private:
  UnpackerCore core_;
  std::function<int(unsigned page)> gate_;
  std::filesystem::path file_;
  std::vector<TViewPage> pages_;
  uint16_t lastFlags_ = 0;
};

}  // namespace ql
