#pragma once
// TFaxConverter: the converter as a component for the application. It converts a text,
// TIFF, PCX, DCX or BMP document, a bitmap, or lines supplied through its events into
// an APF file. Failures are raised as exceptions (EConvertAbort, EBadGraphicsFormat, ...).

#include <cstdint>
#include <functional>
#include <string>

#include "fax_document/convert/converter_core.h"
#include "fax_document/sources/fax_font.h"
#include "fax_document/convert/mono_bitmap.h"
#include "serial/errors/exceptions.h"

namespace ql {

enum TInputDocumentType { idNone, idText, idTiff, idPcx, idDcx, idBmp, idBitmap, idUser };
enum TFaxResolution { frNormal, frHigh };
enum TFaxWidth { fwNormal, fwWide };

class TFaxConverter : public TComponentBase {
 public:
  using StatusEvent = std::function<void(TFaxConverter& sender, bool starting, bool ending, unsigned pagesConverted,
                                         unsigned linesConverted, long bytesConverted, long bytesToConvert,
                                         bool& abort)>;
  using OutputLineEvent = std::function<void(TFaxConverter& sender, const uint8_t* data, unsigned length,
                                             bool endOfPage, bool morePages)>;
  using OpenUserFileEvent = std::function<void(TFaxConverter& sender, const std::string& fileName)>;
  using CloseUserFileEvent = std::function<void(TFaxConverter& sender)>;
  // Fills `data` (4096 bytes, zeroed) with one raster line, or reports the end of a page.
  using ReadUserLineEvent = std::function<void(TFaxConverter& sender, uint8_t* data, unsigned& length,
                                               bool& endOfPage, bool& morePages)>;

  TInputDocumentType InputDocumentType() const { return inputType_; }
  void SetInputDocumentType(TInputDocumentType type) { inputType_ = type; }
  uint16_t Options() const { return options_; }
  // coYieldOften brings coYield with it.
  void SetOptions(uint16_t options);
  TFaxResolution Resolution() const { return resolution_; }
  void SetResolution(TFaxResolution resolution) { resolution_ = resolution; }
  TFaxWidth Width() const { return width_; }
  void SetWidth(TFaxWidth width) { width_ = width; }
  unsigned TopMargin() const { return topMargin_; }
  void SetTopMargin(unsigned margin) { topMargin_ = margin; }
  unsigned LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(unsigned margin) { leftMargin_ = margin; }
  unsigned LinesPerPage() const { return linesPerPage_; }
  void SetLinesPerPage(unsigned lines) { linesPerPage_ = lines; }
  unsigned TabStop() const { return tabStop_; }
  void SetTabStop(unsigned tabStop) { tabStop_ = tabStop; }
  const std::string& FontFile() const { return fontFile_; }
  void SetFontFile(const std::string& file) { fontFile_ = file; }
  TFontType FontType() const { return fontType_; }
  void SetFontType(TFontType type) { fontType_ = type; }
  const std::string& DocumentFile() const { return documentFile_; }
  // Also sets OutFileName to the document with the extension ".APF" (not while loading).
  void SetDocumentFile(const std::string& file);
  const std::string& OutFileName() const { return outFileName_; }
  void SetOutFileName(const std::string& file) { outFileName_ = file; }
  const std::string& DefUserExtension() const { return defUserExtension_; }
  void SetDefUserExtension(const std::string& extension) { defUserExtension_ = extension; }
  const std::string& StationID() const { return stationId_; }
  void SetStationID(const std::string& id) { stationId_ = id.substr(0, 20); }

  StatusEvent OnStatus;
  OutputLineEvent OnOutputLine;
  OpenUserFileEvent OnOpenUserFile;
  CloseUserFileEvent OnCloseUserFile;
  ReadUserLineEvent OnReadUserLine;

  // Converts DocumentFile into OutFileName (or the document's name with ".APF").
  void ConvertToFile();
  // Converts DocumentFile, handing every coded line record to OnOutputLine.
  void ConvertToLines();
  // Converts one monochrome bitmap into a one-page APF file OutFileName.
  void ConvertBitmapToApf(const TMonoBitmap* bitmap);

 private:
  std::unique_ptr<ConverterCore> MakeCore(const TMonoBitmap* bitmap);

  TInputDocumentType inputType_ = idNone;
  uint16_t options_ = kDefaultConverterOptions;
  TFaxResolution resolution_ = frNormal;
  TFaxWidth width_ = fwNormal;
  unsigned topMargin_ = 0;
  unsigned leftMargin_ = 50;
  unsigned linesPerPage_ = 60;
  unsigned tabStop_ = 4;
  std::string fontFile_ = "FAX.FNT";
  TFontType fontType_ = ffStandard;
  std::string documentFile_;
  std::string outFileName_;
  std::string defUserExtension_;
  std::string stationId_;
};

}  // namespace ql
