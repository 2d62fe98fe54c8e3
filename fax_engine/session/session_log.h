#pragma once
// A readable log of each call, for a user who sends what happened to a helper: one
// time-stamped line for every command, every modem response, every frame (decoded:
// "DIS: V.17 14400, fine, 1728 pels, scan 0 ms") and every turn of the session. Off
// until a file is named; the file is opened when a run starts and closed when it ends,
// and lines are appended, so a log can hold many calls.

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace ql {

class SessionLog {
 public:
  SessionLog() = default;
  ~SessionLog();
  SessionLog(const SessionLog&) = delete;
  SessionLog& operator=(const SessionLog&) = delete;

  // The file to write; empty: no log.
  void SetFileName(const std::string& path);
  std::string FileName() const;

  // Opens the file for a run (a heading line marks its start); closes it after.
  void Open(std::string_view heading);
  void Close(std::string_view closing);
  bool Active() const;

  void Command(std::string_view text) { Write("->", text); }
  void Response(std::string_view text) { Write("<-", text); }
  void FrameSent(std::string_view description) { Write("=>", description); }
  void FrameReceived(std::string_view description) { Write("<=", description); }
  void Note(std::string_view text) { Write("  ", text); }

  // Bytes shown as text: printable characters as they are, others as <hh>.
  static std::string Printable(std::string_view bytes);

 private:
  void Write(std::string_view marker, std::string_view text);

  mutable std::mutex lock_;
  std::string fileName_;
  std::FILE* file_ = nullptr;
};

}  // namespace ql
