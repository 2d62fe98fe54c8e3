#pragma once
// A log of every call's events (dialled number, ringing, answer, fast carriers and
// their rates, pages, result), one line per event, for a person to read.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace ql::vmodem {

class CallLog {
 public:
  // An empty path keeps no file (events are still counted).
  explicit CallLog(const std::filesystem::path& path);
  // Writes "time  line-time  call N  text". lineSeconds is the line's own clock.
  void Write(int callId, double lineSeconds, const std::string& text);
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::ofstream out_;
};

}  // namespace ql::vmodem
