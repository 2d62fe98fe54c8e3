// qlfax convert: a text, TIFF, PCX, DCX or BMP document into an APF fax file.

#include <iostream>
#include <map>
#include <utility>

#include "fax_document/components/fax_converter.h"
#include "platform/text.h"
#include "serial/errors/exceptions.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{
    "convert", "IN [-o OUT] [--type text|tiff|pcx|dcx|bmp] [--fine] [--wide] [--margin PIXELS] [--top-margin LINES] "
               "[--lines-per-page N] [--tab-stop N] [--small-font] [--station ID]",
    "convert a document into an APF fax file (type from the extension unless --type)", Run};

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

  ql::TInputDocumentType type = ql::idNone;
  const std::string extension = std::filesystem::path(input).extension().string();
  if (!TypeOf(typeName.empty() ? (extension.empty() ? "TXT" : extension.substr(1)) : typeName, type))
    return qlfax::Fail(kCommand, "unknown document type '" + (typeName.empty() ? extension : typeName) +
                                     "' (use --type text, tiff, pcx, dcx or bmp)", 2);
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
