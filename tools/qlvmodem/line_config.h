#pragma once
// What a virtual line is made of, from the program's command line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/qlvmodem/exchange.h"
#include "tools/qlvmodem/remote_fax.h"
#include "tools/qlvmodem/virtual_modem.h"

namespace ql::vmodem {

struct LineConfig {
  std::filesystem::path dir;              // links, control socket, call log, remotes' folders
  std::vector<ModemOptions> modems;
  std::vector<RemoteOptions> remotes;
  double speed = 1.0;                     // pace of calls between remotes; 0 = as fast as possible
  LineTiming timing;
  std::filesystem::path logPath;          // the call log
  bool controlSocket = true;
  bool trace = false;                     // T.30 traces on standard error
  std::filesystem::path traceDir;         // a trace file per modem call (empty: none)
};

// Parses the arguments (without the program name). The folder defaults to `defaultDir`;
// without --modem and --remote two modems ttyFAX0 (100) and ttyFAX1 (101) are made;
// without --remote one answering remote at 200 (unless a modem has that number). Returns nullopt with a message on bad input.
std::optional<LineConfig> ParseLineArguments(const std::vector<std::string>& args,
                                             const std::filesystem::path& defaultDir, std::string* error);

std::string LineUsage();

}  // namespace ql::vmodem
