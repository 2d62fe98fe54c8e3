// qlvmodem: starts a virtual fax line, or sends one command to a running one.

#include <signal.h>

#include <cstdio>
#include <iostream>

#include "platform/data_folder.h"
#include "platform/program_info/program_info.h"
#include "tools/qlvmodem/control.h"
#include "tools/qlvmodem/line_config.h"
#include "tools/qlvmodem/virtual_line.h"

namespace {
ql::vmodem::VirtualLine* g_line = nullptr;
void OnSignal(int) {
  if (g_line != nullptr) g_line->Stop();
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto answered = ql::AnswerHelpOrVersion(args, "qlvmodem", ql::vmodem::LineUsage())) return *answered;
  try {
    // --control COMMAND...: talk to a running line.
    std::filesystem::path dir;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--control") {
        std::string command;
        for (size_t j = i + 1; j < args.size(); ++j) command += (command.empty() ? "" : " ") + args[j];
        std::vector<std::string> head(args.begin(), args.begin() + static_cast<long>(i));
        std::string error;
        auto config = ql::vmodem::ParseLineArguments(head, ql::InitDataFolder(head) / "vline", &error);
        if (!config) {
          std::cerr << "qlvmodem: " << error << "\n";
          return 2;
        }
        std::string answer = ql::vmodem::ControlRequest(config->dir / "control", command);
        std::cout << answer;
        return answer.rfind("ERROR", 0) == 0 || answer.find("\nERROR") != std::string::npos ? 1 : 0;
      }
    }
    std::string error;
    auto defaultDir = ql::InitDataFolder(args) / "vline";
    auto config = ql::vmodem::ParseLineArguments(args, defaultDir, &error);
    if (!config) {
      std::cerr << "qlvmodem: " << error << "\n" << ql::vmodem::LineUsage();
      return 2;
    }
    ql::vmodem::VirtualLine line(*config);
    g_line = &line;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    for (const auto& modem : config->modems)
      std::cout << "modem " << modem.name << " number " << modem.number << " at " << modem.link.string() << "\n";
    for (const auto& remote : config->remotes)
      std::cout << "remote fax " << remote.number << " keeps faxes in " << remote.folder.string() << "\n";
    std::cout << "control " << line.ControlPath().string() << ", call log " << config->logPath.string() << "\n"
              << std::flush;
    line.Run();
    g_line = nullptr;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "qlvmodem: " << e.what() << "\n";
    return 1;
  }
}
