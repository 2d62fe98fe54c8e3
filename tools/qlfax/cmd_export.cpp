// qlfax export: a whole fax as a PDF document, one page per fax page at the fax's own
// size and resolution, so it prints at scale.

#include <iostream>

#include "fax_document/apf/apf_file.h"
#include "fax_document/export/pdf_export.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{"export", "FILE.APF -o FILE.pdf",
                              "write a fax as a PDF document, one page per fax page at its true size", Run};

int Run(std::vector<std::string>& args) {
  std::string out;
  if (!qlfax::TakeOption(args, "-o", out)) qlfax::TakeOption(args, "--output", out);
  if (args.size() != 1 || out.empty()) return qlfax::Fail(kCommand, "expected FILE.APF and -o FILE.pdf", 2);
  if (const int rc = ql::ExportFaxToPdf(args[0], out); rc < 0)
    return qlfax::Fail(kCommand, args[0] + ": " + ql::ErrorText(rc));
  ql::ApfFileHeader header;
  ql::ReadApfFileHeader(args[0], header);
  std::cout << args[0] << " -> " << out << " (" << header.PageCount << (header.PageCount == 1 ? " page" : " pages")
            << ")\n";
  return 0;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
