// qlfax error-text: the message text of an error code.

#include <iostream>

#include "platform/ini_file.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  const auto code = ql::ParseIniInteger(args[0]);
  if (!code) return 2;
  std::cout << *code << " (" << ql::ErrorTextId(*code) << "): " << ql::ErrorText(*code) << "\n";
  return 0;
}

QLFAX_COMMAND("error-text", "CODE", "print the message text of an error code (for example -2011)", Run);

}  // namespace
