#pragma once
// ql-print's command line (after --home has been taken out).

#include <optional>
#include <string>
#include <vector>

namespace ql::print {

struct TPrintOptions {
  enum class Mode { moPrint, moListen, moInstall, moRemove };
  Mode mode = Mode::moPrint;
  std::string document;  // empty or "-": standard input
  bool fine = true;
  bool sendNow = false;
  std::optional<std::string> to, recipient, subject;
  std::string error;  // set when the command line is wrong

  // --to skips the dialog; --recipient and --subject alone only fill it in.
  bool Interactive() const { return !to.has_value(); }
};

TPrintOptions ParsePrintOptions(const std::vector<std::string>& args);

}  // namespace ql::print
