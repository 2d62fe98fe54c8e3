#pragma once
// Runs a program of the build (bin/NAME) the way a script would and collects its exit
// status and output (standard output and standard error together).

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace ql::testing {

struct ProgramResult {
  int status = -1;
  std::string out;
};

// The program's path: <build>/bin/NAME (QL_BINARY_DIR, as CTest sets it for ql_test).
inline std::filesystem::path BuiltProgram(const std::string& name) {
#ifdef QL_BINARY_DIR
  return std::filesystem::path(QL_BINARY_DIR) / "bin" / name;
#else
  return std::filesystem::path("bin") / name;
#endif
}

// Runs `program arguments` through the shell; arguments are passed as written.
inline ProgramResult RunProgram(const std::string& name, const std::string& arguments) {
  const std::string command = "'" + BuiltProgram(name).string() + "' " + arguments + " 2>&1";
  ProgramResult r;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return r;
}

}  // namespace ql::testing
