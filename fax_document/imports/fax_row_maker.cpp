#include "fax_document/imports/fax_row_maker.h"

#include <algorithm>

#include "fax_document/convert/dither.h"
#include "fax_document/imports/fax_width.h"

namespace ql {
namespace {

// Grey values darker than this become black when a bilevel page is made 1-bit again
// after scaling: a pixel a good third covered by ink stays black, so thin strokes
// survive shrinking.
constexpr uint8_t kInkThreshold = 160;

}  // namespace

void FaxRowMaker::Start(unsigned sourceWidth, unsigned sourceHeight, unsigned targetWidth, unsigned targetHeight,
                        unsigned faxWidth, bool bilevel, unsigned left) {
  sourceWidth_ = sourceWidth;
  sourceHeight_ = sourceHeight;
  faxWidth_ = faxWidth;
  bilevel_ = bilevel;
  rowsAdded_ = rowsMade_ = 0;
  finished_ = false;
  haveBits_ = false;
  scaler_.reset();
  targetWidth = std::min(targetWidth, faxWidth);
  left_ = std::min(left, faxWidth - targetWidth);
  const bool sameSize = targetHeight == sourceHeight && (targetWidth == sourceWidth || targetWidth == faxWidth) &&
                        AdjustedFaxWidth(sourceWidth) == faxWidth;
  if (!(bilevel && sameSize)) scaler_ = std::make_unique<PageScaler>(sourceWidth, sourceHeight, targetWidth, targetHeight);
  bits_.assign((sourceWidth + 7) / 8, 0);
}

void FaxRowMaker::AddBitsRow(const uint8_t* bits) {
  if (rowsAdded_ >= sourceHeight_) return;
  ++rowsAdded_;
  if (!scaler_) {
    std::copy(bits, bits + bits_.size(), bits_.begin());
    haveBits_ = true;
    return;
  }
  grey_.resize(sourceWidth_);
  for (unsigned x = 0; x < sourceWidth_; ++x) grey_[x] = (bits[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
  scaler_->AddRow(grey_.data());
}

void FaxRowMaker::AddGreyRow(const uint8_t* grey) {
  if (rowsAdded_ >= sourceHeight_) return;
  if (!scaler_) {
    // A bilevel page that passes through, given as grey.
    std::fill(bits_.begin(), bits_.end(), 0);
    for (unsigned x = 0; x < sourceWidth_; ++x)
      if (grey[x] < 128) bits_[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    haveBits_ = true;
    ++rowsAdded_;
    return;
  }
  ++rowsAdded_;
  scaler_->AddRow(grey);
}

void FaxRowMaker::Finish() {
  finished_ = true;
  if (scaler_) scaler_->Finish();
}

bool FaxRowMaker::TakeRow(uint8_t* raster) {
  if (!scaler_) {
    if (haveBits_) {
      FitRow(bits_.data(), sourceWidth_, raster, faxWidth_);
      haveBits_ = false;
      ++rowsMade_;
      return true;
    }
    if (finished_ && rowsMade_ < sourceHeight_) {  // the missing rows are white
      ++rowsMade_;
      return true;
    }
    return false;
  }
  if (!scaler_->TakeRow(grey_)) return false;
  const unsigned width = scaler_->TargetWidth();
  if (bilevel_) {
    for (unsigned x = 0; x < width; ++x)
      if (grey_[x] < kInkThreshold) raster[(x + left_) / 8] |= static_cast<uint8_t>(0x80 >> ((x + left_) % 8));
  } else {
    DitherGreyRow(grey_.data(), width, rowsMade_, raster, left_);
  }
  ++rowsMade_;
  return true;
}

bool FaxRowMaker::Done() const {
  if (scaler_) return scaler_->Done();
  return rowsMade_ >= sourceHeight_ && !haveBits_;
}

}  // namespace ql
