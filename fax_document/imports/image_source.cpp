#include "fax_document/imports/image_source.h"

#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// A picture up to this much taller than a page is shrunk onto one page rather than
// spilling a sliver onto a second one.
constexpr double kOnePageSlack = 1.25;

uint8_t GreyOf(QRgb pixel) {
  const unsigned grey = (qRed(pixel) * 299u + qGreen(pixel) * 587u + qBlue(pixel) * 114u) / 1000u;
  const unsigned a = static_cast<unsigned>(qAlpha(pixel));
  return static_cast<uint8_t>((grey * a + 255u * (255u - a)) / 255u);  // on white paper
}

}  // namespace

int ImageSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  error_.clear();
  QImageReader reader(QString::fromStdString(input.string()));
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);  // photos stored sideways come out upright
  QImage image = reader.read();
  if (image.isNull()) {
    error_ = "cannot read the picture (" + reader.errorString().toStdString() + ")";
    return ecBadGraphicsFormat;
  }
  const bool bilevel = image.depth() == 1;
  image_ = image.convertToFormat(QImage::Format_ARGB32);
  image = QImage();
  const auto width = static_cast<unsigned>(image_.width()), height = static_cast<unsigned>(image_.height());
  core.BytesTotal = static_cast<long>(width) * height;
  core.BytesRead = 0;

  // Fax width across; the height follows, for pixels 204 wide by 196 (or 98) high.
  const double lineDpi = fine_ ? 196 : 98;
  unsigned targetWidth = 1728;
  auto targetHeight = static_cast<unsigned>(std::max(1.0, std::round(height * 1728.0 / width * lineDpi / 204)));
  unsigned left = 0;
  const unsigned pageRows = PageRows(fine_);
  if (targetHeight > pageRows && targetHeight <= pageRows * kOnePageSlack) {
    targetWidth = static_cast<unsigned>(std::max(1.0, std::round(1728.0 * pageRows / targetHeight)));
    targetHeight = pageRows;
    left = (1728 - targetWidth) / 2;
  }
  rows_.Start(width, height, targetWidth, targetHeight, 1728, bilevel, left);
  grey_.resize(width);
  row_ = 0;
  rowsOnPage_ = 0;
  faxRowsLeft_ = targetHeight;
  core.SetPageWidth(1728);
  return 0;
}

int ImageSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                          bool& morePages) {
  length = 1728 / 8;
  endOfPage = false;
  if (rowsOnPage_ >= PageRows(fine_) && faxRowsLeft_ > 0) {
    // The picture runs on over the next page.
    rowsOnPage_ = 0;
    endOfPage = morePages = true;
    return 0;
  }
  while (!rows_.TakeRow(buffer)) {
    if (row_ >= static_cast<unsigned>(image_.height())) {
      if (!rows_.Done()) {
        rows_.Finish();
        continue;
      }
      endOfPage = true;
      morePages = false;
      return 0;
    }
    const auto* pixels = reinterpret_cast<const QRgb*>(image_.constScanLine(static_cast<int>(row_)));
    for (size_t x = 0; x < grey_.size(); ++x) grey_[x] = GreyOf(pixels[x]);
    ++row_;
    core.BytesRead += static_cast<long>(grey_.size());
    rows_.AddGreyRow(grey_.data());
  }
  ++rowsOnPage_;
  if (faxRowsLeft_ > 0) --faxRowsLeft_;
  return 0;
}

bool BmpReadDirectly(const std::filesystem::path& input) {
  std::ifstream in(input, std::ios::binary);
  unsigned char header[30] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  const auto width = static_cast<int32_t>(header[18] | header[19] << 8 | header[20] << 16 | header[21] << 24);
  const unsigned bits = header[28] | header[29] << 8;
  return header[0] == 'B' && header[1] == 'M' && bits == 1 && width > 0 && width <= 1728;
}

}  // namespace ql
