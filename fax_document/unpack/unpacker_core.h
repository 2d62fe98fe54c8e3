#pragma once
// The unpacker core: decodes the pages of an APF file into raster lines or monochrome
// bitmaps, with automatic aspect correction of standard-resolution pages (double height
// or half width), compression of long blank stretches, and scaling.
//
// Decoding follows the tolerant rules of fax receivers: runs count only after the first
// EOL; a line is kept only when it decodes to exactly 1728 or 2048 pixels; bit strings
// that match no code are counted in BadCodes and skipped; three EOLs in a row end the page.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "fax_document/apf/apf_file.h"
#include "fax_document/convert/mono_bitmap.h"

namespace ql {

// UnpackFlags bits.
inline constexpr uint16_t ufYield = 1;
inline constexpr uint16_t ufDoubleHeight = 2;
inline constexpr uint16_t ufHalfWidth = 4;
inline constexpr uint16_t ufAbort = 8;

inline constexpr unsigned kUnpackLineBufferSize = 512;

// Receives the page start (starting), every output line, and the page end (ending).
using UnpackOutput =
    std::function<int(bool starting, bool ending, const uint8_t* data, unsigned length, unsigned page)>;
// Progress while a page is decoded.
using UnpackStatus = std::function<void(const std::filesystem::path& file, unsigned page, long bytesUnpacked,
                                        long bytesToUnpack)>;

class UnpackerCore {
 public:
  explicit UnpackerCore(UnpackOutput output = {});

  void SetFlags(uint16_t flags);
  void ClearFlags(uint16_t flags) { UnpackFlags = static_cast<uint16_t>(UnpackFlags & ~flags); }
  // Runs of at least `from` blank lines become `to` lines; 0, 0 turns it off.
  // -1002 when from < to, or from is 0 while to is not.
  int SetWhitespace(unsigned from, unsigned to);
  void SetScale(unsigned horizMult, unsigned horizDiv, unsigned vertMult, unsigned vertDiv);
  void SetOutput(UnpackOutput output) { output_ = std::move(output); }
  void SetStatus(UnpackStatus status) { status_ = std::move(status); }

  int ReadFileHeader(const std::filesystem::path& file, ApfFileHeader& header) const;
  int ReadPageHeader(const std::filesystem::path& file, unsigned page, ApfPageHeader& header) const;

  // Decodes page `page` (1-based), handing its lines to the output callback.
  int UnpackPage(const std::filesystem::path& file, unsigned page);
  // Decodes a page into a bitmap (white = 1 bits when `invert`), cut to the widest used
  // row and scaled. A page without rows gives an empty bitmap.
  int UnpackPageToBitmap(const std::filesystem::path& file, unsigned page, bool invert, TMonoBitmap& bitmap);

  // State, named as the rest of the program knows it.
  unsigned PageNumber = 0;
  unsigned LinesOutput = 0;
  uint16_t UnpackFlags = ufYield | ufDoubleHeight;
  unsigned BadCodes = 0;
  unsigned WhiteFrom = 0;
  unsigned WhiteTo = 0;
  unsigned WhiteCount = 0;
  long BytesToUnpack = 0;
  long BytesUnpacked = 0;
  unsigned HorizMult = 1, HorizDiv = 1, VertMult = 1, VertDiv = 1;
  bool Invert = false;

 private:
  int ReadPageData(ApfReader& reader, const ApfPageHeader& header, std::vector<uint8_t>& data, int& shortfall);
  int Decode(const std::vector<uint8_t>& data, bool& ended);
  int OutputLine(const uint8_t* line, unsigned length);
  int EmitLine(const uint8_t* line, unsigned length);
  int FlushWhite(bool pageEnd);
  void ReportStatus(const std::filesystem::path& file);
  // Progress after `bytesDecoded` of `dataBytes` decoded bytes, then (with `yield` and the
  // yield flag) letting messages through. 1 when the abort flag stops decoding, 0 to go
  // on, or an error.
  int Checkpoint(size_t bytesDecoded, long dataBytes, bool yield);

  UnpackOutput output_;
  UnpackStatus status_;
  ApfPageHeader pageHeader_;
  std::filesystem::path file_;
  uint8_t lineBuffer_[kUnpackLineBufferSize + 8] = {};  // + room for the last stored word
  uint8_t outBuffer_[kUnpackLineBufferSize] = {};
};

}  // namespace ql
