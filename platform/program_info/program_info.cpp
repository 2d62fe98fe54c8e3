#include "platform/program_info/program_info.h"

#include <iostream>

namespace ql {

std::string_view QuilletVersion() { return QL_VERSION; }

std::string VersionLine(std::string_view program) {
  return std::string(program) + " (Quillet) " + std::string(QuilletVersion());
}

std::optional<int> AnswerHelpOrVersion(std::span<const std::string> args, std::string_view program,
                                       std::string_view usage) {
  for (const std::string& arg : args) {
    if (arg == "--") break;  // what follows is not an option
    if (arg == "--help" || arg == "-h") {
      std::cout << usage;
      if (!usage.empty() && usage.back() != '\n') std::cout << '\n';
      std::cout << std::flush;
      return 0;
    }
    if (arg == "--version") {
      std::cout << VersionLine(program) << std::endl;
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace ql
