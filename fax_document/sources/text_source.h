#pragma once
// The text line source: draws a plain text file (code page 437, or UTF-8) with the fax
// font, one raster line per call. Every text line becomes cell-height raster lines. Pages break
// after LinesPerPage text lines and at form feeds.

#include <cstdio>
#include <string>

#include "fax_document/convert/converter_core.h"
#include "fax_document/sources/fax_font.h"

namespace ql {

inline constexpr unsigned kMaxTextLine = 144;

class TextSource : public LineSource {
 public:
  TextSource();
  ~TextSource() override;

  // A zero tab stop is ignored.
  void SetTabStop(unsigned tabStop) {
    if (tabStop != 0) TabStop = tabStop;
  }
  // 0 means no limit.
  void SetLinesPerPage(unsigned lines) { LinesPerPage = lines; }
  // Loads the font: `bytesPerGlyph` 16 for the small font, 48 for the standard one.
  // The font file name is accepted for compatibility; the font is built in.
  int LoadFont(const std::string& fontFile, int bytesPerGlyph, bool highRes);
  const FaxFont& Font() const { return font_; }

  std::string DefaultExtension() const override { return "TXT"; }
  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore& core) override;

  unsigned TabStop = 4;
  unsigned LinesPerPage = 0;

 private:
  // Reads the next file line (at most 144 characters kept); false at the end of the file.
  int ReadFileLine(std::string& line);
  bool AtEndOfFile();
  std::string ExpandTabs(const std::string& line) const;

  FaxFont font_;
  std::FILE* file_ = nullptr;
  char readBuffer_[8192];
  unsigned linesOnPage_ = 0;
  unsigned glyphRow_ = 0;
  std::string current_;
  std::string waiting_;
  bool textWaiting_ = false;
};

}  // namespace ql
