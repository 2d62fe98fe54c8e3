#pragma once
// The two diagnostic records of a port: the trace (every byte the program wrote to or
// read from the port) and the dispatch log (time-stamped reads, writes and trigger
// firings with their bytes). Both are fixed-size rings that keep the newest activity and
// are written to text files (CR LF line ends) only when dumped.

#include <cstdint>
#include <string>
#include <vector>

namespace ql {

inline constexpr int kMaxTraceEntries = 32760;
inline constexpr int kMaxLogBytes = 65520;

// Log entry kinds.
inline constexpr uint8_t kLogDispatch = 1;
inline constexpr uint8_t kLogTrigger = 2;
inline constexpr uint8_t kLogReadCom = 1;
inline constexpr uint8_t kLogWriteCom = 2;
inline constexpr uint8_t kLogAvail = 3;
inline constexpr uint8_t kLogTimer = 4;
inline constexpr uint8_t kLogStatus = 5;
inline constexpr int kLogHeaderSize = 12;

class TTraceBuffer {
 public:
  explicit TTraceBuffer(int capacity);
  // Records one byte, 'T' written to the port or 'R' read by the program, while capturing.
  void Add(char kind, uint8_t byte);
  void Clear();  // position 0, not wrapped
  bool capture = true;

  bool Empty() const { return position_ == 0 && !wrapped_; }
  // The file text: a heading line per run of one kind, bytes rendered, no final line end.
  std::string Render(bool hex) const;

 private:
  std::vector<uint8_t> entries_;  // kind, byte, kind, byte ...
  int capacity_;
  int position_ = 0;
  bool wrapped_ = false;
};

class TLogBuffer {
 public:
  explicit TLogBuffer(int capacity);
  // Adds an entry; the oldest entries give way. An entry whose data cannot fit even in
  // the empty buffer keeps its header, recorded with no data bytes.
  void Add(uint8_t type, uint8_t subtype, uint32_t timeMs, uint16_t data, const uint8_t* bytes, int length);
  void Clear();
  bool capture = true;

  bool Empty() const { return used_ == 0; }
  // The file text: two heading lines and one line (or more, when the bytes wrap) per
  // entry, every line ended.
  std::string Render(bool hex) const;

 private:
  void Store(const uint8_t* bytes, int length);
  void Copy(int from, uint8_t* to, int length) const;
  void DropOldest();

  std::vector<uint8_t> ring_;
  int read_ = 0;
  int write_ = 0;
  int used_ = 0;
};

// A byte as the files show it: itself when printable, otherwise "[0D]" (hex) or "[13]"
// (decimal). In hex mode a space is shown as "[20]".
std::string RenderByte(uint8_t byte, bool hex);

// Writes text to a file: appended when append is set and the file exists as an ordinary
// file, otherwise the file is replaced whole. Returns 0 or the negated error number.
int WriteDumpFile(const std::string& fileName, const std::string& text, bool append);

}  // namespace ql
