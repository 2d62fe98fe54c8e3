#include "tools/qlfax/command.h"

#include <algorithm>
#include <iostream>

namespace qlfax {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

void RegisterCommand(const Command& command) {
  auto& all = Registry();
  all.push_back(command);
  std::sort(all.begin(), all.end(), [](const Command& a, const Command& b) { return std::string(a.name) < b.name; });
}

const std::vector<Command>& Commands() { return Registry(); }

const Command* FindCommand(const std::string& name) {
  for (const Command& c : Registry())
    if (name == c.name) return &c;
  return nullptr;
}

int Fail(const Command& command, const std::string& message, int status) {
  std::cerr << "qlfax " << command.name << ": " << message << "\n";
  return status;
}

bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name && i + 1 < args.size()) {
      value = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
      return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  const auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

}  // namespace qlfax
