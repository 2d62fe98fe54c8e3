#pragma once
// TFaxUnpacker: the unpacker as a component for the application. It tells the pages of
// an APF file and their resolution and width, and decodes a page into a bitmap or into
// lines handed to OnOutputLine. Failures are raised as exceptions (EFaxBadFormat, ...).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fax_document/convert/mono_bitmap.h"
#include "fax_document/unpack/unpacker_core.h"
#include "serial/errors/exceptions.h"

namespace ql {

// Options bits.
inline constexpr uint16_t uoYield = 1;
inline constexpr uint16_t uoAbort = 2;

enum TAutoScaleMode { asNone, asDoubleHeight, asHalfWidth };

class TFaxUnpacker : public TComponentBase {
 public:
  using OutputLineEvent = std::function<void(TFaxUnpacker& sender, bool starting, bool ending, const uint8_t* data,
                                             unsigned length, unsigned pageNum)>;
  using StatusEvent = std::function<void(TFaxUnpacker& sender, const std::string& fileName, unsigned pageNum,
                                         long bytesUnpacked, long bytesToUnpack)>;

  uint16_t Options() const { return options_; }
  // Also reaches a decode under way: uoYield switches yielding, uoAbort stops it.
  void SetOptions(uint16_t options);
  bool WhitespaceCompression() const { return whitespaceCompression_; }
  void SetWhitespaceCompression(bool on) { whitespaceCompression_ = on; }
  unsigned WhitespaceFrom() const { return whitespaceFrom_; }
  void SetWhitespaceFrom(unsigned lines) { whitespaceFrom_ = lines; }
  unsigned WhitespaceTo() const { return whitespaceTo_; }
  void SetWhitespaceTo(unsigned lines) { whitespaceTo_ = lines; }
  bool Scaling() const { return scaling_; }
  void SetScaling(bool on) { scaling_ = on; }
  unsigned HorizMult() const { return horizMult_; }
  unsigned HorizDiv() const { return horizDiv_; }
  unsigned VertMult() const { return vertMult_; }
  unsigned VertDiv() const { return vertDiv_; }
  // A factor of 0 is ignored.
  void SetHorizMult(unsigned v) { if (v != 0) horizMult_ = v; }
  void SetHorizDiv(unsigned v) { if (v != 0) horizDiv_ = v; }
  void SetVertMult(unsigned v) { if (v != 0) vertMult_ = v; }
  void SetVertDiv(unsigned v) { if (v != 0) vertDiv_ = v; }
  TAutoScaleMode AutoScaleMode() const { return autoScaleMode_; }
  void SetAutoScaleMode(TAutoScaleMode mode) { autoScaleMode_ = mode; }
  const std::string& InFileName() const { return inFileName_; }
  // A name that differs (ignoring case) also sets OutFileName to it without extension.
  void SetInFileName(const std::string& file);
  const std::string& OutFileName() const { return outFileName_; }
  void SetOutFileName(const std::string& file) { outFileName_ = file; }

  OutputLineEvent OnOutputLine;
  StatusEvent OnStatus;

  unsigned PageCountOf();
  bool PageIsHighRes(unsigned page);
  bool PageIsWide(unsigned page);
  // The page as a bitmap with black pixels as 0 bits (ready for display). An empty
  // bitmap for a page without rows.
  std::unique_ptr<TMonoBitmap> PageToBitmap(unsigned page);
  // Decodes the page, handing its lines to OnOutputLine.
  void UnpackPage(unsigned page);

 private:
  std::unique_ptr<UnpackerCore> MakeCore();
  uint16_t PageFlagsOf(unsigned page);

  uint16_t options_ = uoYield;
  bool whitespaceCompression_ = false;
  unsigned whitespaceFrom_ = 0;
  unsigned whitespaceTo_ = 0;
  bool scaling_ = false;
  unsigned horizMult_ = 1, horizDiv_ = 1, vertMult_ = 1, vertDiv_ = 1;
  TAutoScaleMode autoScaleMode_ = asDoubleHeight;
  std::string inFileName_;
  std::string outFileName_;
  UnpackerCore* live_ = nullptr;
};

}  // namespace ql
