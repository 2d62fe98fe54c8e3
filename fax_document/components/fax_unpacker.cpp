#include "fax_document/components/fax_unpacker.h"

#include <filesystem>

#include "platform/text.h"
#include "serial/errors/error_codes.h"

namespace ql {

void TFaxUnpacker::SetOptions(uint16_t options) {
  options_ = options;
  if (live_ == nullptr) return;
  if (options & uoYield)
    live_->SetFlags(ufYield);
  else
    live_->ClearFlags(ufYield);
  if (options & uoAbort) live_->SetFlags(ufAbort);
}

void TFaxUnpacker::SetInFileName(const std::string& file) {
  if (!EqualsIgnoreCase(file, inFileName_)) outFileName_ = std::filesystem::path(file).replace_extension().string();
  inFileName_ = file;
}

std::unique_ptr<UnpackerCore> TFaxUnpacker::MakeCore() {
  auto core = std::make_unique<UnpackerCore>();
  core->UnpackFlags = 0;
  if (options_ & uoYield) core->SetFlags(ufYield);
  if (autoScaleMode_ == asDoubleHeight) core->SetFlags(ufDoubleHeight);
  if (autoScaleMode_ == asHalfWidth) core->SetFlags(ufHalfWidth);
  if (whitespaceCompression_ && Check(core->SetWhitespace(whitespaceFrom_, whitespaceTo_)) < 0) return nullptr;
  if (scaling_) core->SetScale(horizMult_, horizDiv_, vertMult_, vertDiv_);
  core->SetStatus([this](const std::filesystem::path& file, unsigned page, long unpacked, long toUnpack) {
    if (OnStatus) OnStatus(*this, file.string(), page, unpacked, toUnpack);
  });
  return core;
}

unsigned TFaxUnpacker::PageCountOf() {
  ApfFileHeader header;
  if (Check(ReadApfFileHeader(inFileName_, header)) < 0) return 0;
  return header.PageCount;
}

uint16_t TFaxUnpacker::PageFlagsOf(unsigned page) {
  ApfPageHeader header;
  if (Check(ReadApfPageHeader(inFileName_, page, header)) < 0) return 0;
  return header.PageFlags;
}

bool TFaxUnpacker::PageIsHighRes(unsigned page) { return (PageFlagsOf(page) & PageHighRes) != 0; }

bool TFaxUnpacker::PageIsWide(unsigned page) { return (PageFlagsOf(page) & PageWide) != 0; }

std::unique_ptr<TMonoBitmap> TFaxUnpacker::PageToBitmap(unsigned page) {
  auto core = MakeCore();
  if (!core) return nullptr;
  auto bitmap = std::make_unique<TMonoBitmap>();
  live_ = core.get();
  const int rc = core->UnpackPageToBitmap(inFileName_, page, true, *bitmap);
  live_ = nullptr;
  if (Check(rc) < 0) return nullptr;
  return bitmap;
}

void TFaxUnpacker::UnpackPage(unsigned page) {
  auto core = MakeCore();
  if (!core) return;
  core->SetOutput([this](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned pageNum) {
    if (OnOutputLine) OnOutputLine(*this, starting, ending, data, length, pageNum);
    return 0;
  });
  live_ = core.get();
  const int rc = core->UnpackPage(inFileName_, page);
  live_ = nullptr;
  Check(rc);
}

}  // namespace ql
