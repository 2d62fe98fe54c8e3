#pragma once
// The converter core: turns a document, delivered one raster line at a time by a line
// source, into T.4-coded fax pages. It applies the left and top margins, width doubling,
// height halving and centring, splits pages, reports progress and honours an abort.
//
// Raster lines follow the fax convention: leftmost pixel in the most significant bit of
// the first byte, bit 1 = black, PageWidth/8 bytes (216 or 256).
//
// The fax senders use two operations directly: CodeRasterLine (for the header line they
// draw on each page) and EndOfPageBlock.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_windows/message_window.h"

namespace ql {

// Options bits.
inline constexpr uint16_t coDoubleWidth = 1;
inline constexpr uint16_t coHalfHeight = 2;
inline constexpr uint16_t coCenterImage = 4;
inline constexpr uint16_t coYield = 8;
inline constexpr uint16_t coYieldOften = 16;
inline constexpr uint16_t kDefaultConverterOptions = coDoubleWidth | coCenterImage | coYield;

inline constexpr unsigned kConverterBufferSize = 4096;

// Kinds of status report.
inline constexpr int kStatusLine = 0;
inline constexpr int kStatusStarting = 1;
inline constexpr int kStatusEnding = 2;

// The message a status window receives for every status report: wParam is the kind,
// lParam the ConverterCore*; a nonzero result asks to abort the conversion.
inline constexpr uint32_t kConverterStatusMessage = 32346;
// How long a status report waits for a window owned by another thread; a report that is
// not answered in time does not abort.
inline constexpr int kStatusWindowTimeoutMs = 2000;

class ConverterCore;

// A document that delivers raster lines. One source serves one conversion.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // Extension added to an input name that has none ("TXT", "TIF", ...; empty for none).
  virtual std::string DefaultExtension() const = 0;
  // Opens the document. On failure the source releases what it opened.
  virtual int Open(ConverterCore& core, const std::filesystem::path& input) = 0;
  // Fills `buffer` (zeroed, kConverterBufferSize bytes) with the next raster line and sets
  // `length`, or reports the end of the page and whether another page follows.
  virtual int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                       bool& morePages) = 0;
  virtual void Close(ConverterCore& core) = 0;
  // A file the source made for itself (a dithered copy); the core deletes it afterwards.
  virtual std::filesystem::path TemporaryFile() const { return {}; }
};

// Receives every coded line record (or the end-of-page record, with endOfPage set).
using ConverterSink = std::function<int(const uint8_t* data, unsigned length, bool endOfPage, bool morePages)>;
// Progress: kind (kStatusStarting, kStatusLine, kStatusEnding) and the source's byte
// counts. Returning true asks to abort the conversion.
using ConverterStatus = std::function<bool(ConverterCore& core, int kind, long bytesRead, long bytesTotal)>;

class ConverterCore {
 public:
  // A core for the given source; without a source the core only codes lines.
  explicit ConverterCore(std::unique_ptr<LineSource> source = nullptr);
  ~ConverterCore();
  ConverterCore(const ConverterCore&) = delete;
  ConverterCore& operator=(const ConverterCore&) = delete;

  void SetOptions(uint16_t options) { Options = options; }
  void SetMargins(unsigned left, unsigned top) {
    LeftMargin = left;
    TopMargin = top;
  }
  void SetHighRes(bool high) { HighRes = high; }
  // 2048 selects the wide page; anything else 1728.
  void SetPageWidth(unsigned width) { PageWidth = width == 2048 ? 2048 : 1728; }
  void SetStationId(const std::string& id) { StationId = id.substr(0, 20); }
  void SetStatus(ConverterStatus status) { status_ = std::move(status); }
  // When set (not 0), status reports go to this window as kConverterStatusMessage
  // instead of the status callback.
  void SetStatusWindow(MessageWindow window) { StatusWindow = window; }
  LineSource* Source() const { return source_.get(); }

  // Decides WidthDoubled, HeightHalved and CenterBytes from an image `width` pixels wide.
  void DecideImageLayout(unsigned width);
  // Moves a row of `rowBytes` bytes at the start of `buffer` right by CenterBytes, clearing
  // the bytes in front, when that fits in the line buffer.
  void PlaceRow(uint8_t* buffer, unsigned rowBytes) const;

  // Codes one raster line into CodeBuffer; returns its length (CodeByte).
  unsigned CodeRasterLine(const uint8_t* raster);
  const uint8_t* CodedLine() const { return CodeBuffer; }
  // Codes a top-margin (blank) line record into `dest`; returns its length (4 or 5).
  unsigned TopMarginRecord(uint8_t* dest) const;
  // Writes the 12-byte end-of-page block into `dest` and returns 12.
  static unsigned EndOfPageBlock(uint8_t* dest);

  // Converts the input document into an APF file (names as ResolveOutputName); a partly
  // written file is deleted on failure.
  int ConvertToFile(const std::filesystem::path& input, const std::filesystem::path& output = {});
  // Converts the input document (default extension added), handing every record to `sink`.
  int Convert(const std::filesystem::path& input, const ConverterSink& sink);

  // The input name with the default extension added when it has none.
  static std::filesystem::path ResolveInputName(const std::filesystem::path& input, const std::string& extension);
  // The output given (".APF" added when it has no extension), else the input with ".APF".
  static std::filesystem::path ResolveOutputName(const std::filesystem::path& input,
                                                 const std::filesystem::path& output);

  // State, named as the rest of the program knows it.
  bool HighRes = false;
  bool WidthDoubled = false;
  bool HeightHalved = false;
  uint16_t Options = kDefaultConverterOptions;
  unsigned CodeByte = 0;
  unsigned CodeBit = 0;
  unsigned PageWidth = 1728;
  unsigned LeftMargin = 50;
  unsigned TopMargin = 0;
  unsigned PageNumber = 0;
  unsigned LineNumber = 0;
  unsigned HeaderPage = 0;
  unsigned CenterBytes = 0;
  long BytesRead = 0;
  long BytesTotal = 0;
  MessageWindow StatusWindow = 0;
  std::string StationId;
  uint8_t CodeBuffer[kConverterBufferSize] = {};
  uint8_t LineBuffer[kConverterBufferSize] = {};

 private:
  // The raster line coded last and its code. Text at high resolution draws every glyph
  // row twice, so a line that repeats the one before is copied instead of coded again.
  struct LastCodedLine {
    bool valid = false;
    unsigned pageWidth = 0;
    unsigned leftMargin = 0;
    bool widthDoubled = false;
    unsigned codeByte = 0;
    unsigned codeBit = 0;
    uint8_t raster[2048 / 8] = {};
    uint8_t code[kConverterBufferSize] = {};

    bool Matches(const uint8_t* line, unsigned width, unsigned margin, bool doubled) const;
  };

  bool ReportStatus(int kind);
  int ConvertPages(const ConverterSink& sink);

  std::unique_ptr<LineSource> source_;
  ConverterStatus status_;
  LastCodedLine last_;
  std::vector<uint16_t> runEnds_;  // where the runs of the line being coded end
};

}  // namespace ql
