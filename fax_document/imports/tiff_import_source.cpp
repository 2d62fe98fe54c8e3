#include "fax_document/imports/tiff_import_source.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "fax_document/imports/fax_width.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr uint32_t kMaxSide = 100000;  // pixels; larger sizes are taken for corruption
constexpr uint32_t kBandRows = 64;     // rows decoded at a time by the RGBA interface

int KeepError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  auto* said = static_cast<std::string*>(user);
  *said = module && *module ? std::string(module) + ": " + text : text;
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Resolutions within a few dots of a fax resolution count as that resolution, so fax
// files written as 200 x 200 or in dots per centimetre pass through unscaled.
double Snap(double dpi, double fax) { return std::abs(dpi - fax) <= fax * 0.045 ? fax : dpi; }

unsigned Scaled(uint32_t pixels, double from, double to) {
  return static_cast<unsigned>(std::max(1.0, std::round(pixels * to / from)));
}

uint8_t GreyOf(uint32_t abgr) {
  const unsigned r = TIFFGetR(abgr), g = TIFFGetG(abgr), b = TIFFGetB(abgr), a = TIFFGetA(abgr);
  const unsigned grey = (r * 299 + g * 587 + b * 114) / 1000;
  return static_cast<uint8_t>((grey * a + 255 * (255 - a)) / 255);  // on white paper
}

}  // namespace

TiffImportSource::~TiffImportSource() {
  if (rgbaStarted_) TIFFRGBAImageEnd(&rgba_);
  if (tiff_ != nullptr) TIFFClose(tiff_);
}

int TiffImportSource::Fail(const std::string& what) {
  error_ = libtiffSays_.empty() ? what : what + " (" + libtiffSays_ + ")";
  return ecBadGraphicsFormat;
}

int TiffImportSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  error_.clear();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, KeepError, &libtiffSays_);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
  tiff_ = TIFFOpenExt(input.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
  if (tiff_ == nullptr) return Fail("not a TIFF file libtiff can read");
  pages_ = TIFFNumberOfDirectories(tiff_);
  if (pages_ == 0) return Fail("the TIFF file has no pages");
  std::error_code ec;
  core.BytesTotal = static_cast<long>(std::filesystem::file_size(input, ec));
  page_ = 0;
  return StartPage(core);
}

int TiffImportSource::StartPage(ConverterCore& core) {
  if (rgbaStarted_) {
    TIFFRGBAImageEnd(&rgba_);
    rgbaStarted_ = false;
  }
  const std::string where = "page " + std::to_string(page_ + 1) + " of the TIFF file";
  if (!TIFFSetDirectory(tiff_, static_cast<tdir_t>(page_))) return Fail("cannot read " + where);
  uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, unit = RESUNIT_INCH;
  float xres = 0, yres = 0;
  if (!TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width_) || !TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height_) ||
      width_ == 0 || height_ == 0 || width_ > kMaxSide || height_ > kMaxSide)
    return Fail(where + " has no usable size");
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_RESOLUTIONUNIT, &unit);
  const bool haveX = TIFFGetField(tiff_, TIFFTAG_XRESOLUTION, &xres) && xres > 0;
  const bool haveY = TIFFGetField(tiff_, TIFFTAG_YRESOLUTION, &yres) && yres > 0;
  const bool bilevel = bits == 1 && samples == 1 &&
                       (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);

  // The resolution in dots per inch; one value given stands for both. Without any, a
  // page of fax width is taken for a fax page and anything else for a 200 dpi scan.
  const double lineDpi = fine_ ? 196 : 98;
  const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1;
  const bool known = unit != RESUNIT_NONE && (haveX || haveY);
  double xdpi = known ? (haveX ? xres : yres) * perInch : 0;
  double ydpi = known ? (haveY ? yres : xres) * perInch : 0;
  if (!known) {
    const bool faxWide = width_ >= 1680 && AdjustedFaxWidth(width_) != 0;
    xdpi = faxWide ? 204 : 200;
    ydpi = faxWide ? 196 : 200;
  }
  xdpi = Snap(xdpi, 204);
  // A fax file is in either of the two line resolutions; the other one doubles or halves.
  ydpi = Snap(Snap(ydpi, 196), 98);

  unsigned targetWidth = Scaled(width_, xdpi, 204);
  unsigned targetHeight = Scaled(height_, ydpi, lineDpi);
  unsigned faxWidth = AdjustedFaxWidth(targetWidth);
  if (faxWidth == 0) {
    // Wider than any fax page: shrunk to 1728 pixels, both ways alike.
    targetHeight = static_cast<unsigned>(std::max(1.0, std::round(targetHeight * 1728.0 / targetWidth)));
    targetWidth = faxWidth = 1728;
  }
  if (targetHeight > kMaxSide) return Fail(where + " is too long for a fax page");
  rows_.Start(width_, height_, targetWidth, targetHeight, faxWidth, bilevel);

  scanlines_ = bilevel && !TIFFIsTiled(tiff_);
  minIsBlack_ = photometric == PHOTOMETRIC_MINISBLACK;
  row_ = 0;
  if (scanlines_) {
    bits_.assign(static_cast<size_t>(std::max<tmsize_t>(TIFFScanlineSize(tiff_), (width_ + 7) / 8)), 0);
  } else {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tiff_, message) || !TIFFRGBAImageBegin(&rgba_, tiff_, 0, message)) {
      if (libtiffSays_.empty()) libtiffSays_ = message;
      return Fail(where + " is of a kind libtiff cannot show");
    }
    rgbaStarted_ = true;
    rgba_.req_orientation = ORIENTATION_TOPLEFT;
    band_.assign(static_cast<size_t>(width_) * kBandRows, 0);
    bandFirst_ = bandRows_ = 0;
    grey_.resize(width_);
  }
  core.SetPageWidth(faxWidth);
  return 0;
}

int TiffImportSource::FeedRow() {
  const std::string where = " in page " + std::to_string(page_ + 1) + " of the TIFF file";
  if (scanlines_) {
    if (TIFFReadScanline(tiff_, bits_.data(), row_, 0) < 0) return Fail("damaged data" + where);
    if (minIsBlack_)
      for (auto& b : bits_) b = static_cast<uint8_t>(~b);
    if (width_ % 8 != 0) bits_[width_ / 8] &= static_cast<uint8_t>(0xFF00 >> (width_ % 8));
    ++row_;
    if (rows_.TakesBits()) {
      rows_.AddBitsRow(bits_.data());
    } else {
      grey_.resize(width_);
      for (uint32_t x = 0; x < width_; ++x) grey_[x] = (bits_[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
      rows_.AddGreyRow(grey_.data());
    }
    return 0;
  }
  if (row_ >= bandFirst_ + bandRows_) {
    bandFirst_ = row_;
    bandRows_ = std::min(kBandRows, height_ - row_);
    rgba_.row_offset = static_cast<int>(bandFirst_);
    rgba_.col_offset = 0;
    if (!TIFFRGBAImageGet(&rgba_, band_.data(), width_, bandRows_)) return Fail("damaged data" + where);
  }
  const uint32_t* pixels = band_.data() + static_cast<size_t>(row_ - bandFirst_) * width_;
  for (uint32_t x = 0; x < width_; ++x) grey_[x] = GreyOf(pixels[x]);
  ++row_;
  rows_.AddGreyRow(grey_.data());
  return 0;
}

int TiffImportSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                               bool& morePages) {
  length = rows_.FaxWidth() / 8;
  endOfPage = false;
  while (!rows_.TakeRow(buffer)) {
    if (rows_.SourceRowsWanted() == 0 || row_ >= height_) {
      if (!rows_.Done()) {
        rows_.Finish();
        continue;
      }
      endOfPage = true;
      morePages = page_ + 1 < pages_;
      if (morePages) {
        ++page_;
        return StartPage(core);
      }
      return 0;
    }
    if (const int rc = FeedRow(); rc < 0) return rc;
    core.BytesRead = static_cast<long>(row_) * width_ / 8;
  }
  return 0;
}

void TiffImportSource::Close(ConverterCore&) {
  if (rgbaStarted_) TIFFRGBAImageEnd(&rgba_);
  rgbaStarted_ = false;
  if (tiff_ != nullptr) TIFFClose(tiff_);
  tiff_ = nullptr;
}

bool TiffReadDirectly(const std::filesystem::path& input) {
  std::string ignored;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, KeepError, &ignored);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
  TIFF* tiff = TIFFOpenExt(input.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
  if (tiff == nullptr) return false;
  uint16_t bits = 1, samples = 1, compression = COMPRESSION_NONE, photometric = PHOTOMETRIC_MINISWHITE;
  uint32_t width = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  const bool plain = TIFFNumberOfDirectories(tiff) == 1 && !TIFFIsTiled(tiff) && bits == 1 && samples == 1 &&
                     (compression == COMPRESSION_NONE || compression == COMPRESSION_PACKBITS) &&
                     (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) &&
                     width > 0 && width <= 1728;
  TIFFClose(tiff);
  return plain;
}

}  // namespace ql
