#pragma once
// The commands of qlfax. Each command file defines one Command and registers it with
// QLFAX_COMMAND; main() finds it by name.

#include <string>
#include <vector>

namespace qlfax {

struct Command {
  const char* name;
  const char* usage;    // arguments, shown after the name
  const char* summary;  // one line for the command list
  // Runs with the arguments after the command name; returns the exit status
  // (0 success, 1 failure, 2 bad usage).
  int (*run)(std::vector<std::string>& args);
};

void RegisterCommand(const Command& command);
const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

// Prints "qlfax NAME: message" to standard error and returns status.
int Fail(const Command& command, const std::string& message, int status = 1);

// Takes "--name VALUE" or "--name=VALUE" out of args; returns whether it was there.
bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value);
// Takes the flag "--name" out of args; returns whether it was there.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

struct Registrar {
  explicit Registrar(const Command& command) { RegisterCommand(command); }
};

}  // namespace qlfax

#define QLFAX_COMMAND_CAT2(a, b) a##b
#define QLFAX_COMMAND_CAT(a, b) QLFAX_COMMAND_CAT2(a, b)
#define QLFAX_COMMAND(...) \
  static const ::qlfax::Registrar QLFAX_COMMAND_CAT(qlfaxRegistrar, __LINE__) { ::qlfax::Command{__VA_ARGS__} }
