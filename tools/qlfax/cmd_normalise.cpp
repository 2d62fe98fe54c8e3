// qlfax normalise: a fax recoded page by page at high resolution, as it is sent.

#include <iostream>

#include "app/settings/work_folders.h"
#include "fax_document/components/fax_normalise.h"
#include "serial/errors/error_text.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args);

const qlfax::Command kCommand{
    "normalise", "SOURCE.APF TARGET.APF [--work DIR]",
    "recode every page at high resolution without margin, as the send flow does (work files in the data folder)",
    Run};

int Run(std::vector<std::string>& args) {
  std::string work;
  qlfax::TakeOption(args, "--work", work);
  if (args.size() != 2) return qlfax::Fail(kCommand, "expected SOURCE.APF and TARGET.APF", 2);
  std::error_code ec;
  if (!std::filesystem::exists(args[0], ec)) return qlfax::Fail(kCommand, args[0] + ": file not found");
  const std::filesystem::path folder = work.empty() ? ql::AppFolderPath() : std::filesystem::path(work);
  std::filesystem::create_directories(folder, ec);
  if (const int rc = ql::NormaliseFax(args[0], args[1], folder); rc < 0)
    return qlfax::Fail(kCommand, args[0] + ": " + ql::ErrorText(rc));
  std::cout << args[0] << " -> " << args[1] << "\n";
  return 0;
}

QLFAX_COMMAND(kCommand.name, kCommand.usage, kCommand.summary, Run);

}  // namespace
