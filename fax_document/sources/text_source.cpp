#include "fax_document/sources/text_source.h"

#include <algorithm>
#include <cstring>

#include "fax_document/sources/cp437.h"
#include "fax_document/apf/file_errors.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// A file line keeps enough bytes for 144 characters in UTF-8.
constexpr size_t kMaxLineBytes = 4 * kMaxTextLine;

}  // namespace

TextSource::TextSource() = default;

TextSource::~TextSource() {
  if (file_ != nullptr) std::fclose(file_);
}

int TextSource::LoadFont(const std::string& /*fontFile*/, int bytesPerGlyph, bool highRes) {
  return font_.Load(bytesPerGlyph, highRes);
}

int TextSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  if (!font_.Loaded()) {
    if (const int rc = font_.Load(kStandardFontGlyphBytes, core.HighRes); rc < 0) return rc;
  }
  linesOnPage_ = 0;
  glyphRow_ = 0;
  textWaiting_ = false;
  waiting_.clear();
  if (input.empty()) return ecFileNotFound;
  if (std::filesystem::is_directory(input)) return ecAccessDenied;
  file_ = std::fopen(input.c_str(), "rb");
  if (file_ == nullptr) return LastFileErrorCode();
  std::setvbuf(file_, readBuffer_, _IOFBF, sizeof readBuffer_);
  if (std::fseek(file_, 0, SEEK_END) != 0) {
    const int rc = LastFileErrorCode();
    Close(core);
    return rc;
  }
  core.BytesTotal = std::ftell(file_);
  std::fseek(file_, 0, SEEK_SET);
  core.BytesRead = 0;
  return 0;
}

void TextSource::Close(ConverterCore&) {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool TextSource::AtEndOfFile() {
  const int c = std::fgetc(file_);
  if (c == EOF) return true;
  std::ungetc(c, file_);
  return false;
}

int TextSource::ReadFileLine(std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(file_)) != EOF) {
    if (c == '\n') break;
    if (c == '\r') {
      // CR LF and a lone CR both end a line.
      const int next = std::fgetc(file_);
      if (next != '\n' && next != EOF) std::ungetc(next, file_);
      break;
    }
    if (line.size() < kMaxLineBytes) line.push_back(static_cast<char>(c));
  }
  if (std::ferror(file_)) return LastFileErrorCode();
  return 0;
}

std::string TextSource::ExpandTabs(const std::string& line) const {
  std::string out;
  for (const char c : line) {
    if (out.size() >= kMaxTextLine) break;
    if (c == '\t') {
      const size_t next = (out.size() / TabStop + 1) * TabStop;
      out.append(std::min<size_t>(next, kMaxTextLine) - out.size(), ' ');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

int TextSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                         bool& morePages) {
  if (file_ == nullptr) return ecFileNotOpen;
  const FontMetrics& m = font_.Metrics();
  if (glyphRow_ == 0) {
    if (AtEndOfFile() && !textWaiting_) {
      if (core.LineNumber == 1) {
        length = core.PageWidth / 8;  // an empty page still gets one blank line
        endOfPage = false;
        morePages = false;
        return 0;
      }
      endOfPage = true;
      morePages = false;
      return 0;
    }
    std::string line;
    bool followsFormFeed = false;
    if (textWaiting_) {
      line.swap(waiting_);
      textWaiting_ = false;
      followsFormFeed = true;
    } else {
      if (const int rc = ReadFileLine(line); rc < 0) return rc;
      core.BytesRead = std::min<long>(core.BytesRead + static_cast<long>(line.size()) + 2, core.BytesTotal);
    }
    if (const size_t ff = line.find('\f'); ff != std::string::npos) {
      waiting_ = line.substr(ff + 1);
      textWaiting_ = true;
      line.resize(ff);
    }
    glyphRow_ = 1;
    Utf8ToCp437(line, line);  // text written in UTF-8 is drawn with the same glyphs
    current_ = ExpandTabs(line);
    const unsigned fit = core.PageWidth / m.CellWidth;
    const unsigned margin = core.LeftMargin / m.CellWidth;
    current_.resize(std::min<size_t>(current_.size(), fit > margin ? fit - margin : 0));
    ++linesOnPage_;
    if (followsFormFeed || (LinesPerPage != 0 && linesOnPage_ > LinesPerPage)) {
      // The line just taken opens the next page, except an empty line after a form feed.
      linesOnPage_ = 1;
      if (followsFormFeed && current_.empty()) {
        glyphRow_ = 0;
        linesOnPage_ = 0;
      }
      endOfPage = true;
      morePages = glyphRow_ != 0 || textWaiting_ || !AtEndOfFile();
      return 0;
    }
  }
  std::memset(buffer, 0, core.PageWidth / 8);
  font_.DrawTextRow(current_, glyphRow_, buffer, core.PageWidth / 8);
  length = static_cast<unsigned>((current_.size() * m.CellWidth + 7) / 8);
  endOfPage = false;
  morePages = true;
  if (++glyphRow_ > m.CellHeight) glyphRow_ = 0;
  return 0;
}

}  // namespace ql
