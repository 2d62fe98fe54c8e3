// qlfax next-name: the next free fax file name for a prefix in the send folder.

#include <iostream>

#include "app/settings/work_folders.h"
#include "tools/qlfax/command.h"

namespace {

int Run(std::vector<std::string>& args) {
  const bool work = qlfax::TakeFlag(args, "--work");
  if (args.size() != 1) return 2;
  std::cout << (work ? ql::NextFreeWorkName(args[0]) : ql::NextFreeSendName(args[0])).string() << "\n";
  return 0;
}

QLFAX_COMMAND("next-name", "PREFIX [--work]",
              "print the next free fax name (PREFIX + five digits + .APF) in the send or data folder", Run);

}  // namespace
