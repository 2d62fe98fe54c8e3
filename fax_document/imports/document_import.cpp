#include "fax_document/imports/document_import.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <system_error>

#include "fax_document/components/fax_converter.h"
#include "fax_document/imports/ghostscript_source.h"
#include "fax_document/imports/image_source.h"
#include "fax_document/imports/tiff_import_source.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"

namespace ql {
namespace {

// A status report arrives for every raster line; progress is told at every new page and
// every so many lines in between, so that a caller can keep a window alive and abort.
constexpr unsigned kLinesBetweenReports = 256;

// A unique, hidden name in the output's folder: renaming it over the output at the end is
// atomic, and it is never mistaken for a finished fax.
std::filesystem::path ReserveTemporaryName(const std::filesystem::path& output, std::string& error) {
  const std::filesystem::path folder = output.has_parent_path() ? output.parent_path() : ".";
  std::string pattern = (folder / ("." + output.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = "cannot write in " + folder.string() + ": " + std::generic_category().message(errno);
    return {};
  }
  ::close(fd);
  return pattern;
}

ImportResult Failure(std::string error) {
  ImportResult result;
  result.error = std::move(error);
  return result;
}

class ProgressReporter {
 public:
  explicit ProgressReporter(const ImportOptions& options) : options_(options) {}

  // True asks to abort. Once the caller has said stop, it is not asked again.
  bool Report(int pagesDone) {
    if (aborted_) return true;
    if (pagesDone == reported_ && ++lines_ % kLinesBetweenReports != 0) return false;
    reported_ = pagesDone;
    aborted_ = options_.progress && !options_.progress(pagesDone);
    return aborted_;
  }

 private:
  const ImportOptions& options_;
  int reported_ = -1;
  unsigned lines_ = 0;
  bool aborted_ = false;
};

// Converts through one of the import's own sources: fax pages as rendered, with no
// margin, doubling or centring, so that pixels keep their places.
ImportResult ConvertThrough(std::unique_ptr<ImportSource> source, const std::filesystem::path& input,
                            const std::filesystem::path& temporary, const ImportOptions& options) {
  ImportSource* explaining = source.get();
  ConverterCore core(std::move(source));
  core.SetOptions(0);
  core.SetMargins(0, 0);
  core.SetHighRes(options.fine);
  ProgressReporter progress(options);
  core.SetStatus([&progress](ConverterCore& c, int kind, long, long) {
    const int pages = static_cast<int>(c.PageNumber);
    return progress.Report(kind == kStatusEnding ? pages : std::max(0, pages - 1));
  });
  ImportResult result;
  const int rc = core.ConvertToFile(input, temporary);
  if (rc < 0) {
    result.error = rc != ecConvertAbort && !explaining->Error().empty() ? explaining->Error() : ErrorText(rc);
    return result;
  }
  result.ok = true;
  result.pages = static_cast<int>(core.PageNumber);
  result.warning = explaining->Warning();
  return result;
}

// The kinds the converter reads itself go through its component, as everywhere else in
// the program (margin, centring and the fax font as the component sets them).
ImportResult ConvertWithComponent(TInputDocumentType type, const std::filesystem::path& input,
                                  const std::filesystem::path& temporary, const ImportOptions& options) {
  TFaxConverter converter;
  converter.SetInputDocumentType(type);
  converter.SetResolution(options.fine ? frHigh : frNormal);
  converter.SetDocumentFile(input.string());
  converter.SetOutFileName(temporary.string());
  ProgressReporter progress(options);
  unsigned pages = 0;
  converter.OnStatus = [&](TFaxConverter&, bool, bool ending, unsigned page, unsigned, long, long, bool& abort) {
    pages = page;
    const int done = ending ? static_cast<int>(page) : std::max(0, static_cast<int>(page) - 1);
    abort = progress.Report(done);
  };
  ImportResult result;
  try {
    converter.ConvertToFile();
  } catch (const std::exception& e) {
    result.error = e.what();
    return result;
  }
  result.ok = true;
  result.pages = static_cast<int>(pages);
  return result;
}

ImportResult Convert(const std::string& kind, const std::filesystem::path& input,
                     const std::filesystem::path& temporary, const ImportOptions& options) {
  if (kind == "pdf" || kind == "postscript")
    return ConvertThrough(std::make_unique<GhostscriptSource>(options.fine), input, temporary, options);
  if (kind == "tiff") return ConvertThrough(std::make_unique<TiffImportSource>(options.fine), input, temporary, options);
  if (kind == "image" || (kind == "bmp" && !BmpReadDirectly(input)))
    return ConvertThrough(std::make_unique<ImageSource>(options.fine), input, temporary, options);
  if (kind == "bmp") return ConvertWithComponent(idBmp, input, temporary, options);
  if (kind == "pcx") return ConvertWithComponent(idPcx, input, temporary, options);
  if (kind == "dcx") return ConvertWithComponent(idDcx, input, temporary, options);
  if (kind == "text") return ConvertWithComponent(idText, input, temporary, options);
  return Failure("unknown kind of document");
}

}  // namespace

bool ConverterReadsDirectly(const std::filesystem::path& input, const std::string& kind) {
  if (kind == "tiff") return TiffReadDirectly(input);
  if (kind == "bmp") return BmpReadDirectly(input);
  return kind == "text" || kind == "pcx" || kind == "dcx";
}

ImportResult ImportDocument(const std::filesystem::path& input, const std::filesystem::path& outputApf,
                            const ImportOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(input, ec)) return Failure(input.string() + ": no such document");
  if (std::filesystem::equivalent(input, outputApf, ec)) return Failure("the fax file would overwrite the document");
  const std::string kind = DocumentKind(input);
  if (kind.empty()) {
    const bool empty = std::filesystem::file_size(input, ec) == 0 && !ec;
    return Failure(input.string() + (empty ? ": the document is empty" : ": not a kind of document Quillet reads"));
  }
  ImportResult result;
  const std::filesystem::path temporary = ReserveTemporaryName(outputApf, result.error);
  if (temporary.empty()) return result;
  result = Convert(kind, input, temporary, options);
  if (result.ok) {
    std::filesystem::rename(temporary, outputApf, ec);
    if (ec) result = Failure("cannot write " + outputApf.string() + ": " + ec.message());
  }
  if (!result.ok) std::filesystem::remove(temporary, ec);
  return result;
}

}  // namespace ql
