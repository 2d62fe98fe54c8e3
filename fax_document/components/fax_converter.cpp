#include "fax_document/components/fax_converter.h"

#include <filesystem>

#include "fax_document/convert/bitmap_source.h"
#include "fax_document/sources/bmp_source.h"
#include "fax_document/sources/pcx_source.h"
#include "fax_document/sources/text_source.h"
#include "fax_document/sources/tiff_source.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// Lines supplied by the application through the component's events.
class UserSource : public LineSource {
 public:
  explicit UserSource(TFaxConverter& owner) : owner_(owner) {}
  std::string DefaultExtension() const override { return owner_.DefUserExtension(); }
  int Open(ConverterCore&, const std::filesystem::path& input) override {
    if (owner_.OnOpenUserFile) owner_.OnOpenUserFile(owner_, input.string());
    return 0;
  }
  int ReadLine(ConverterCore&, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override {
    endOfPage = true;
    morePages = false;
    if (owner_.OnReadUserLine) owner_.OnReadUserLine(owner_, buffer, length, endOfPage, morePages);
    return 0;
  }
  void Close(ConverterCore&) override {
    if (owner_.OnCloseUserFile) owner_.OnCloseUserFile(owner_);
  }

 private:
  TFaxConverter& owner_;
};

}  // namespace

void TFaxConverter::SetOptions(uint16_t options) {
  if (options & coYieldOften) options |= coYield;
  options_ = options;
}

void TFaxConverter::SetDocumentFile(const std::string& file) {
  documentFile_ = file;
  if (!Loading()) outFileName_ = std::filesystem::path(file).replace_extension(".APF").string();
}

std::unique_ptr<ConverterCore> TFaxConverter::MakeCore(const TMonoBitmap* bitmap) {
  std::unique_ptr<LineSource> source;
  TextSource* text = nullptr;
  switch (inputType_) {
    case idText: {
      auto t = std::make_unique<TextSource>();
      text = t.get();
      source = std::move(t);
      break;
    }
    case idTiff: source = std::make_unique<TiffSource>(); break;
    case idPcx: source = std::make_unique<PcxSource>(); break;
    case idDcx: source = std::make_unique<DcxSource>(); break;
    case idBmp: source = std::make_unique<BmpSource>(); break;
    case idBitmap: source = std::make_unique<BitmapSource>(bitmap); break;
    case idUser: source = std::make_unique<UserSource>(*this); break;
    case idNone: Check(ecBadArgument); return nullptr;
  }
  auto core = std::make_unique<ConverterCore>(std::move(source));
  core->SetOptions(options_);
  core->SetMargins(leftMargin_, topMargin_);
  core->SetHighRes(resolution_ == frHigh);
  core->SetPageWidth(width_ == fwWide ? 2048 : 1728);
  core->SetStationId(stationId_);
  core->SetStatus([this](ConverterCore& c, int kind, long bytesRead, long bytesTotal) {
    bool abort = false;
    if (OnStatus)
      OnStatus(*this, kind == kStatusStarting, kind == kStatusEnding, c.PageNumber, c.LineNumber, bytesRead, bytesTotal,
               abort);
    return abort;
  });
  if (text != nullptr) {
    text->SetTabStop(tabStop_);
    text->SetLinesPerPage(linesPerPage_);
    if (Check(text->LoadFont(fontFile_, GlyphBytesOf(fontType_), resolution_ == frHigh)) < 0) return nullptr;
  }
  return core;
}

void TFaxConverter::ConvertToFile() {
  if (documentFile_.empty() && Check(ecFileNotFound) < 0) return;
  auto core = MakeCore(nullptr);
  if (core) Check(core->ConvertToFile(documentFile_, outFileName_));
}

void TFaxConverter::ConvertToLines() {
  auto core = MakeCore(nullptr);
  if (!core) return;
  Check(core->Convert(ConverterCore::ResolveInputName(documentFile_, core->Source()->DefaultExtension()),
                      [this](const uint8_t* data, unsigned length, bool endOfPage, bool morePages) {
                        if (OnOutputLine) OnOutputLine(*this, data, length, endOfPage, morePages);
                        return 0;
                      }));
}

void TFaxConverter::ConvertBitmapToApf(const TMonoBitmap* bitmap) {
  const TInputDocumentType saved = inputType_;
  inputType_ = idBitmap;
  try {
    if (bitmap == nullptr) Check(ecBadArgument);
    if (outFileName_.empty()) Check(ecFileNotFound);
    auto core = MakeCore(bitmap);
    if (core) Check(core->ConvertToFile("bitmap", outFileName_));
  } catch (...) {
    inputType_ = saved;
    throw;
  }
  inputType_ = saved;
}

}  // namespace ql
