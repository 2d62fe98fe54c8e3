#pragma once
// The PDF and PostScript line source: Ghostscript renders the document at fax
// resolution as 1-bit pages streamed through a pipe (PBM), and each page's rows become
// the page's raster lines. Pages near a fax width keep their pixels (cut or padded on
// the right); wider pages are scaled down to 1728 pixels.

#include <string>
#include <vector>

#include "fax_document/imports/child_process.h"
#include "fax_document/imports/fax_row_maker.h"
#include "fax_document/imports/import_source.h"

namespace ql {

class GhostscriptSource : public ImportSource {
 public:
  explicit GhostscriptSource(bool fine);
  ~GhostscriptSource() override;

  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore& core) override;

  // The arguments Ghostscript is run with for an input (shared with the tests).
  static std::vector<std::string> Arguments(bool fine, const std::filesystem::path& input);

 private:
  // Reads the next page's header; false at the end of the output.
  bool ReadPageHeader();
  // Starts the page whose header was read last.
  void StartPage(ConverterCore& core);
  // Fails with what Ghostscript said, after it has ended.
  int Fail(const std::string& what);

  bool fine_;
  ChildProcess gs_;
  unsigned width_ = 0;   // of the rendered page, in pixels
  unsigned height_ = 0;  // rows
  bool pageStarted_ = false;
  std::vector<uint8_t> row_;
  FaxRowMaker rows_;
};

}  // namespace ql
