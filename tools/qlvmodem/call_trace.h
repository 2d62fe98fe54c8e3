#pragma once
// The trace of a modem's calls, a file per call in a folder (--trace-dir), so a failed
// call can be read afterwards: one line for each command of the program, each response
// of the modem, each block of page data, each frame and each carrier, with the time
// since the call began. What the program said before the call (its set-up) opens the
// call's file; the file ends with the program's first command after the call.

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "serial/dle/dle_codec.h"

namespace ql::vmodem {

class CallTrace {
 public:
  // An empty folder traces nothing.
  CallTrace(std::filesystem::path folder, std::string modemName);

  bool On() const { return !folder_.empty(); }
  void CallStarted(const std::string& what);
  void CallEnded();

  // A command line of the program.
  void Command(const std::string& line);
  // Bytes from the program in a data mode (`frames`: HDLC frames rather than page data).
  void FromProgram(const uint8_t* bytes, size_t length, bool frames);
  // Everything the modem writes to the program.
  void ToProgram(const uint8_t* bytes, size_t length);
  // A carrier the modem sends, or 0 when it stops.
  void Carrier(int bitRate);
  // Anything else worth a line (the steps of a Class 2 session).
  void Note(const std::string& text);
  const std::filesystem::path& File() const { return path_; }

 private:
  // A stream of stuffed data in one direction, told as frames or page data once it ends.
  struct DataStream {
    ql::dle::Unstuffer unstuffer;
    std::string data;
    size_t bytes = 0;
    bool active = false;
  };
  void Write(const std::string& kind, const std::string& text);
  void TakeData(DataStream& stream, std::string_view piece, const char* direction, bool frames);
  void EndData(DataStream& stream, const char* direction, bool frames);
  void FlushResponse();

  std::filesystem::path folder_;
  std::string name_;
  std::filesystem::path path_;
  std::ofstream out_;
  bool callOver_ = false;
  int calls_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::deque<std::string> before_;  // lines since the last call's file ended

  std::string lastCommand_;  // decides what a CONNECT to the program is followed by
  std::string response_;     // a response line being assembled
  DataStream fromProgram_;
  DataStream toProgram_;
  bool toProgramFrames_ = false;
  bool skipLf_ = false;
  int carrier_ = 0;
};

}  // namespace ql::vmodem
