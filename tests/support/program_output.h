#pragma once
// Runs a shell command and returns what it printed on standard output (tests use it to
// read files back with programs we did not write).

#include <cstdio>
#include <string>

namespace ql::testing {

inline std::string ProgramOutput(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

}  // namespace ql::testing
