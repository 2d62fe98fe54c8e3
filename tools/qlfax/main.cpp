// qlfax: Quillet's fax engine from the command line.

#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "app/settings/port_settings.h"
#include "platform/data_folder.h"
#include "platform/program_info/program_info.h"
#include "tools/qlfax/command.h"

namespace {

std::string HelpText() {
  std::string text =
      "Usage: qlfax [--home DIR] COMMAND [ARGUMENTS]\n"
      "Quillet's fax engine from the command line: documents, fax lists, modems.\n"
      "\n"
      "The data folder is DIR, else $QUILLET_HOME, else the program's folder when it\n"
      "holds QL.INI, else $XDG_DATA_HOME/quillet.\n"
      "\n"
      "Commands:\n";
  for (const auto& c : qlfax::Commands()) {
    std::string head = std::string("  ") + c.name + " " + c.usage;
    if (head.size() < 34) head.resize(34, ' ');
    else head += "\n" + std::string(34, ' ');
    text += head + c.summary + "\n";
  }
  return text +
         "\nqlfax help COMMAND shows the arguments of one command; qlfax --version shows the version.\n";
}

void PrintHelp() { std::cout << HelpText(); }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // --help and --version are answered before the data folder is made. They are options of
  // qlfax itself only before the command; those after it belong to the command.
  std::vector<std::string> options = args;
  ql::TakeHomeOption(options);
  if (!options.empty()) {
    if (const auto answered = ql::AnswerHelpOrVersion(std::span(options).first(1), "qlfax", HelpText())) return *answered;
  }
  ql::InitDataFolder(args);
  ql::InstallSettingsPortResolver();
  if (args.empty()) {
    PrintHelp();
    return 2;
  }
  if (args[0] == "help") {
    if (args.size() > 1) {
      if (const auto* c = qlfax::FindCommand(args[1])) {
        std::cout << "Usage: qlfax " << c->name << " " << c->usage << "\n" << c->summary << "\n";
        return 0;
      }
    }
    PrintHelp();
    return 0;
  }
  const qlfax::Command* command = qlfax::FindCommand(args[0]);
  if (!command) {
    std::cerr << "qlfax: unknown command '" << args[0] << "' (qlfax --help lists them)\n";
    return 2;
  }
  args.erase(args.begin());
  try {
    const int status = command->run(args);
    if (status == 2) std::cerr << "Usage: qlfax " << command->name << " " << command->usage << "\n";
    return status;
  } catch (const std::exception& e) {
    return qlfax::Fail(*command, e.what());
  }
}
