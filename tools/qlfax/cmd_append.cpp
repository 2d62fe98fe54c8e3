// qlfax append: the pages of one APF file added to the end of another.

#include <iostream>

#include "fax_document/apf/apf_append.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{"append", "TARGET.APF ADDITION.APF", "append the pages of ADDITION to TARGET", Run};

int Run(std::vector<std::string>& args) {
  if (args.size() != 2) return qlfax::Fail(kCommand, "expected TARGET.APF and ADDITION.APF", 2);
  if (const int rc = ql::AppendApf(args[0], args[1]); rc < 0) return qlfax::Fail(kCommand, ql::ErrorText(rc));
  std::cout << args[1] << " appended to " << args[0] << "\n";
  return 0;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
