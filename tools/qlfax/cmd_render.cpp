// qlfax render: one page of an APF file as a PNG image, decoded by the unpacker.

#include <iostream>

#include "fax_document/components/fax_unpacker.h"
#include "fax_document/export/png_export.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{
    "render", "FILE.APF [--page N] -o PAGE.png [--aspect double-height|half-width|none] [--scale H/D[,V/D]] "
              "[--whitespace FROM,TO]",
    "render a page of an APF file to a PNG image (standard pages doubled in height unless --aspect)", Run};

bool ParseUnsigned(const std::string& text, unsigned& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = static_cast<unsigned>(std::stoul(text));
  return true;
}

// "M/D" into a multiplier and a divisor, both at least 1.
bool ParseRatio(const std::string& text, unsigned& mult, unsigned& div) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) {
    div = 1;
    return ParseUnsigned(text, mult) && mult > 0;
  }
  return ParseUnsigned(text.substr(0, slash), mult) && ParseUnsigned(text.substr(slash + 1), div) && mult > 0 &&
         div > 0;
}

int Run(std::vector<std::string>& args) {
  std::string pageText = "1", out, aspect, scale, whitespace;
  qlfax::TakeOption(args, "--page", pageText);
  if (!qlfax::TakeOption(args, "-o", out)) qlfax::TakeOption(args, "--output", out);
  qlfax::TakeOption(args, "--aspect", aspect);
  qlfax::TakeOption(args, "--scale", scale);
  qlfax::TakeOption(args, "--whitespace", whitespace);
  if (args.size() != 1 || out.empty()) return qlfax::Fail(kCommand, "expected FILE.APF and -o PAGE.png", 2);
  unsigned page = 0;
  if (!ParseUnsigned(pageText, page) || page == 0) return qlfax::Fail(kCommand, "bad --page '" + pageText + "'", 2);

  ql::TFaxUnpacker unpacker;
  unpacker.SetInFileName(args[0]);
  if (aspect == "none") unpacker.SetAutoScaleMode(ql::asNone);
  else if (aspect == "half-width") unpacker.SetAutoScaleMode(ql::asHalfWidth);
  else if (aspect.empty() || aspect == "double-height") unpacker.SetAutoScaleMode(ql::asDoubleHeight);
  else return qlfax::Fail(kCommand, "bad --aspect '" + aspect + "'", 2);
  if (!scale.empty()) {
    const size_t comma = scale.find(',');
    unsigned hm = 1, hd = 1, vm = 1, vd = 1;
    const std::string horizontal = scale.substr(0, comma);
    const std::string vertical = comma == std::string::npos ? horizontal : scale.substr(comma + 1);
    if (!ParseRatio(horizontal, hm, hd) || !ParseRatio(vertical, vm, vd))
      return qlfax::Fail(kCommand, "bad --scale '" + scale + "' (use M/D or M/D,M/D)", 2);
    unpacker.SetScaling(true);
    unpacker.SetHorizMult(hm);
    unpacker.SetHorizDiv(hd);
    unpacker.SetVertMult(vm);
    unpacker.SetVertDiv(vd);
  }
  if (!whitespace.empty()) {
    const size_t comma = whitespace.find(',');
    unsigned from = 0, to = 0;
    if (comma == std::string::npos || !ParseUnsigned(whitespace.substr(0, comma), from) ||
        !ParseUnsigned(whitespace.substr(comma + 1), to))
      return qlfax::Fail(kCommand, "bad --whitespace '" + whitespace + "' (use FROM,TO)", 2);
    unpacker.SetWhitespaceCompression(true);
    unpacker.SetWhitespaceFrom(from);
    unpacker.SetWhitespaceTo(to);
  }
  std::unique_ptr<ql::TMonoBitmap> bitmap;
  try {
    bitmap = unpacker.PageToBitmap(page);
  } catch (const std::exception& e) {
    return qlfax::Fail(kCommand, args[0] + ": " + e.what());
  }
  if (!bitmap || bitmap->Empty()) return qlfax::Fail(kCommand, args[0] + ": page " + pageText + " holds no lines");
  if (const int rc = ql::WritePng(out, *bitmap); rc < 0) return qlfax::Fail(kCommand, out + ": " + ql::ErrorText(rc));
  std::cout << args[0] << " page " << page << " -> " << out << " (" << bitmap->Width() << " x " << bitmap->Height()
            << ")\n";
  return 0;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
