#pragma once
// The pseudo-terminal of one virtual modem: the master side stays with the tool, the
// slave side is what a fax program opens, through a stable symbolic link. The master
// also tells whether a program has the slave open (a closed slave is the modem's
// "DTR dropped"), and what serial settings that program chose.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace ql::vmodem {

class PtyDevice {
 public:
  // Opens a new pty, puts its slave in raw mode and points `link` at it (replacing an
  // old link). Throws std::system_error.
  explicit PtyDevice(const std::filesystem::path& link);
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  const std::filesystem::path& LinkPath() const { return link_; }

  // Looks whether a program has the slave open. When one has just opened it, what
  // was written while nobody listened is thrown away. Returns true on a change.
  bool UpdateAttached();
  bool Attached() const { return attached_; }

  // Non-blocking read of what the program wrote; 0 when nothing is waiting.
  size_t Read(uint8_t* buffer, size_t capacity);
  // Queues bytes for the program (dropped while nobody has the slave open, and past
  // a bound when the program does not read).
  void Write(const void* data, size_t length);
  // Writes as much of the queue as the pty takes now.
  void Flush();
  size_t Queued() const { return queue_.size(); }

  // The program's serial settings: software flow control on, speed set to 0 (DTR drop).
  bool ProgramUsesSoftwareFlow() const;
  bool ProgramDroppedDtr() const;

 private:
  int master_ = -1;
  std::string slavePath_;
  std::filesystem::path link_;
  bool attached_ = false;
  std::string queue_;
};

}  // namespace ql::vmodem
