#include "fax_document/imports/ghostscript_source.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>

#include "fax_document/imports/fax_width.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

// The last lines of Ghostscript's error output that say something, for the user.
std::string Summary(const std::string& errors) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < errors.size()) {
    size_t end = errors.find('\n', start);
    if (end == std::string::npos) end = errors.size();
    std::string line = errors.substr(start, end - start);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    size_t lead = 0;
    while (lead < line.size() && std::isspace(static_cast<unsigned char>(line[lead]))) ++lead;
    line.erase(0, lead);
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  // Ghostscript also tells of its progress ("Page 3", fonts loaded); the lines that
  // report a fault say more when there are any.
  std::vector<std::string> faults;
  for (const auto& line : lines)
    if (line.rfind("****", 0) == 0 || line.find("rror") != std::string::npos) faults.push_back(line);
  if (!faults.empty()) lines = std::move(faults);
  std::string text;
  for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i) {
    if (!text.empty()) text += " ";
    text += lines[i];
  }
  return text.size() > 400 ? text.substr(0, 400) + "..." : text;
}

// A PDF whose trailer names an encryption dictionary: Ghostscript opens it only when
// no password is needed to read it.
bool HasEncryption(const std::filesystem::path& pdf) {
  std::ifstream in(pdf, std::ios::binary);
  std::string tail(64 * 1024, '\0');
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::streamoff>(in.tellg());
  in.seekg(std::max<std::streamoff>(0, size - static_cast<std::streamoff>(tail.size())));
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  tail.resize(static_cast<size_t>(in.gcount()));
  return tail.find("/Encrypt") != std::string::npos;
}

}  // namespace

GhostscriptSource::GhostscriptSource(bool fine) : fine_(fine) {}

GhostscriptSource::~GhostscriptSource() = default;

std::vector<std::string> GhostscriptSource::Arguments(bool fine, const std::filesystem::path& input) {
  // Not quiet: only then does Ghostscript say that it had to repair a damaged file.
  return {"gs",
          "-dSAFER",
          "-dBATCH",
          "-dNOPAUSE",
          "-sDEVICE=pbmraw",
          fine ? "-r204x196" : "-r204x98",
          "-sOutputFile=-",
          // PostScript's own output goes to the error pipe, never between the pages.
          "-sstdout=%stderr",
          "-f",
          // An absolute path never starts with '-', so it is never taken for an option.
          std::filesystem::absolute(input).string()};
}

int GhostscriptSource::Fail(const std::string& what) {
  const int status = gs_.Wait();
  std::string said = Summary(gs_.ErrorOutput());
  error_ = what;
  if (!said.empty()) error_ += " (Ghostscript: " + said + ")";
  else if (status > 0) error_ += " (Ghostscript ended with status " + std::to_string(status) + ")";
  return ecBadGraphicsFormat;
}

int GhostscriptSource::Open(ConverterCore& core, const std::filesystem::path& input) {
  error_.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(input, ec)) {
    error_ = "cannot read " + input.string();
    return ecFileNotFound;
  }
  core.BytesTotal = static_cast<long>(std::filesystem::file_size(input, ec));
  if (!gs_.Start(Arguments(fine_, input))) {
    error_ = "cannot run Ghostscript (gs): " + gs_.Error();
    return ecBadGraphicsFormat;
  }
  if (!ReadPageHeader()) {
    gs_.Wait();
    const std::string& said = gs_.ErrorOutput();
    const bool noPages = gs_.Wait() == 0 && said.find("**** Error") == std::string::npos &&
                         said.find("rror") == std::string::npos;
    if (noPages) return Fail("the document has no pages");
    if (HasEncryption(input)) return Fail("the PDF is protected by a password");
    return Fail("Ghostscript could not render the document");
  }
  StartPage(core);
  return 0;
}

bool GhostscriptSource::ReadPageHeader() {
  // "P4", then width and height as decimal numbers, with white space and comments
  // between them, then one white-space byte before the rows.
  if (gs_.ReadByte() != 'P' || gs_.ReadByte() != '4') return false;
  unsigned values[2] = {0, 0};
  int c = gs_.ReadByte();
  for (unsigned& value : values) {
    while (c == '#' || std::isspace(c)) {
      if (c == '#')
        while (c != '\n' && c >= 0) c = gs_.ReadByte();
      c = gs_.ReadByte();
    }
    if (!std::isdigit(c)) return false;
    while (std::isdigit(c)) {
      if (value > 1000000) return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
      c = gs_.ReadByte();
    }
  }
  if (!std::isspace(c) || values[0] == 0) return false;
  width_ = values[0];
  height_ = values[1];
  pageStarted_ = false;
  return true;
}

void GhostscriptSource::StartPage(ConverterCore& core) {
  row_.assign((width_ + 7) / 8, 0);
  const unsigned adjusted = AdjustedFaxWidth(width_);
  if (adjusted != 0) {
    rows_.Start(width_, height_, width_, height_, adjusted, true);
  } else {
    // Both axes shrink by the same factor, so the page keeps its proportions.
    const auto height = static_cast<unsigned>(std::max(1ull, static_cast<unsigned long long>(height_) * 1728 / width_));
    rows_.Start(width_, height_, 1728, height, 1728, true);
  }
  core.SetPageWidth(rows_.FaxWidth());
  pageStarted_ = true;
}

int GhostscriptSource::ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage,
                                bool& morePages) {
  if (!pageStarted_) StartPage(core);
  length = rows_.FaxWidth() / 8;
  endOfPage = false;
  while (!rows_.TakeRow(buffer)) {
    if (rows_.SourceRowsWanted() == 0) {
      if (!rows_.Done()) {
        rows_.Finish();
        continue;
      }
      // The page is done: another follows when Ghostscript sends one more header.
      endOfPage = true;
      morePages = ReadPageHeader();
      if (!morePages) {
        if (gs_.Wait() != 0) return Fail("Ghostscript failed after page " + std::to_string(core.PageNumber));
        // Ghostscript reads past many faults of damaged files; what it says about them
        // goes with the result, since pages may have lost content.
        const std::string& said = gs_.ErrorOutput();
        if (said.find("**** Error") != std::string::npos || said.find("were repaired or ignored") != std::string::npos)
          warning_ = "Ghostscript repaired a damaged document; pages may be incomplete (" +
                     Summary(gs_.ErrorOutput()) + ")";
      }
      return 0;
    }
    if (!gs_.ReadExactly(row_.data(), row_.size()))
      return Fail("Ghostscript stopped in the middle of page " + std::to_string(core.PageNumber));
    core.BytesRead += static_cast<long>(row_.size());
    rows_.AddBitsRow(row_.data());
  }
  return 0;
}

void GhostscriptSource::Close(ConverterCore&) {
  gs_.Stop();
}

}  // namespace ql
