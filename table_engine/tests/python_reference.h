#pragma once
// Runs a small script with the system python3 (the independent DBF readers and writers) and returns
// what it printed.

#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"

namespace ql::testing {

inline std::string RunPython(const TempDir& dir, const std::string& script) {
  const auto file = dir / "reference.py";
  WriteFile(file, script);
  const std::string command = "/usr/bin/python3 " + file.string() + " 2>&1";
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

}  // namespace ql::testing
