// qlfax convert: a document into an APF fax file. Text, TIFF, PCX, DCX and BMP files go
// through the converter's own readers with its layout options; PDF, PostScript, TIFFs
// those readers do not take, and pictures come in through the document import, which
// keeps each page's size.

#include <iostream>
#include <map>
#include <utility>

#include "fax_document/components/fax_converter.h"
#include "fax_document/imports/document_import.h"
#include "platform/text.h"
#include "serial/errors/exceptions.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{
    "convert", "IN [-o OUT] [--type text|tiff|pcx|dcx|bmp|pdf|postscript|image] [--fine] [--wide] [--margin PIXELS] "
               "[--top-margin LINES] [--lines-per-page N] [--tab-stop N] [--small-font] [--station ID]",
    "convert a document into an APF fax file (kind from the content and the extension unless --type)", Run};

bool ParseCount(const std::string& text, unsigned& value) {
  try {
    size_t used = 0;
    const long v = std::stol(text, &used);
    if (used != text.size() || v < 0 || v > 100000) return false;
    value = static_cast<unsigned>(v);
    return true;
  } catch (...) {
    return false;
  }
}

bool TypeOf(const std::string& name, ql::TInputDocumentType& type) {
  static const std::map<std::string, ql::TInputDocumentType> kTypes = {
      {"TEXT", ql::idText}, {"TXT", ql::idText}, {"TIFF", ql::idTiff}, {"TIF", ql::idTiff},
      {"PCX", ql::idPcx},   {"DCX", ql::idDcx},  {"BMP", ql::idBmp}};
  const auto found = kTypes.find(ql::ToUpperAscii(name));
  if (found == kTypes.end()) return false;
  type = found->second;
  return true;
}

// The kinds only the document import reads.
bool ImportedKind(const std::string& kind) { return kind == "pdf" || kind == "postscript" || kind == "image"; }

// Whether a document without --type goes through the import rather than the reader its
// extension names: PDF, PostScript and pictures whatever they are called, and TIFFs the
// TIFF reader does not take (several pages, compressed, grey or colour).
bool ThroughImport(const std::filesystem::path& input) {
  const std::string kind = ql::DocumentKind(input);
  if (ImportedKind(kind)) return true;
  return kind == "tiff" && !ql::ConverterReadsDirectly(input, kind);
}

int Import(const std::string& input, const std::string& out, bool fine) {
  const auto written = ql::ConverterCore::ResolveOutputName(input, out);
  ql::ImportOptions options;
  options.fine = fine;
  const ql::ImportResult result = ql::ImportDocument(input, written, options);
  if (!result.ok) return qlfax::Fail(kCommand, input + ": " + result.error);
  std::cout << input << " -> " << written.string() << " (" << result.pages << (result.pages == 1 ? " page" : " pages")
            << ")\n";
  return 0;
}

int Run(std::vector<std::string>& args) {
  std::string out, typeName, station;
  if (!qlfax::TakeOption(args, "-o", out)) qlfax::TakeOption(args, "--output", out);
  qlfax::TakeOption(args, "--type", typeName);
  qlfax::TakeOption(args, "--station", station);
  ql::TFaxConverter converter;
  // The numeric options and the property each one sets.
  const std::pair<const char*, void (ql::TFaxConverter::*)(unsigned)> numeric[] = {
      {"--margin", &ql::TFaxConverter::SetLeftMargin},
      {"--top-margin", &ql::TFaxConverter::SetTopMargin},
      {"--lines-per-page", &ql::TFaxConverter::SetLinesPerPage},
      {"--tab-stop", &ql::TFaxConverter::SetTabStop}};
  for (const auto& [option, setter] : numeric) {
    std::string text;
    if (!qlfax::TakeOption(args, option, text)) continue;
    unsigned value = 0;
    if (!ParseCount(text, value)) return qlfax::Fail(kCommand, std::string("bad ") + option + " '" + text + "'", 2);
    (converter.*setter)(value);
  }
  const bool fine = qlfax::TakeFlag(args, "--fine");
  const bool wide = qlfax::TakeFlag(args, "--wide");
  const bool smallFont = qlfax::TakeFlag(args, "--small-font");
  if (args.size() != 1) return qlfax::Fail(kCommand, "expected one input document", 2);
  const std::string input = args[0];

  const std::string lowerType = ql::ToLowerAscii(typeName);
  if (ImportedKind(lowerType) || lowerType == "ps") return Import(input, out, fine);
  ql::TInputDocumentType type = ql::idNone;
  const std::string extension = std::filesystem::path(input).extension().string();
  bool extensionKnown = TypeOf(extension.empty() ? "TXT" : extension.substr(1), type);
  if (typeName.empty()) {
    if (ThroughImport(input)) return Import(input, out, fine);
    if (!extensionKnown) {
      // A kind of the converter's own, told from the content.
      const std::string kind = ql::DocumentKind(input);
      extensionKnown = !kind.empty() && TypeOf(kind, type);
    }
  }
  if (!typeName.empty() ? !TypeOf(typeName, type) : !extensionKnown)
    return qlfax::Fail(kCommand, "unknown document type '" + (typeName.empty() ? extension : typeName) +
                                     "' (use --type text, tiff, pcx, dcx, bmp, pdf, postscript or image)", 2);
  converter.SetInputDocumentType(type);
  converter.SetResolution(fine ? ql::frHigh : ql::frNormal);
  converter.SetWidth(wide ? ql::fwWide : ql::fwNormal);
  converter.SetFontType(smallFont ? ql::ffSmall : ql::ffStandard);
  converter.SetStationID(station);
  converter.SetDocumentFile(input);
  if (!out.empty()) converter.SetOutFileName(out);
  unsigned pages = 0;
  converter.OnStatus = [&pages](ql::TFaxConverter&, bool, bool, unsigned page, unsigned, long, long, bool&) {
    pages = page;
  };
  try {
    converter.ConvertToFile();
  } catch (const std::exception& e) {
    return qlfax::Fail(kCommand, input + ": " + e.what());
  }
  const auto written = ql::ConverterCore::ResolveOutputName(input, converter.OutFileName());
  std::cout << input << " -> " << written.string() << " (" << pages << (pages == 1 ? " page" : " pages") << ")\n";
  return 0;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
