#pragma once
// The fuzz input as a file in a private folder, removed with the folder afterwards.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace ql::fuzz {

class InputFile {
 public:
  InputFile(const uint8_t* data, size_t size, const char* name) {
    std::string pattern = (std::filesystem::temp_directory_path() / "qlfuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    path_ = folder_ / name;
    if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
      std::fwrite(data, 1, size, f);
      std::fclose(f);
    }
  }
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

}  // namespace ql::fuzz
