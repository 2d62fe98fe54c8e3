#pragma once
// What the ql-print tests share: shell quoting, a folder's file names, and TMPDIR put
// back after a test pointed it into its own folder.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace ql::testing {

inline std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// The names in a folder, sorted; none when it does not exist.
inline std::vector<std::string> Files(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// TMPDIR as the test program found it at its start, before any test changed it.
inline const std::string kStartTmpDir = [] {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "");
}();

// Sets it again (the next test's folder is made there).
inline void RestoreTmp() {
  if (kStartTmpDir.empty()) unsetenv("TMPDIR");
  else setenv("TMPDIR", kStartTmpDir.c_str(), 1);
}

}  // namespace ql::testing
