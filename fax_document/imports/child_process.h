#pragma once
// A helper program run with its standard output and standard error read through pipes,
// its standard input from /dev/null. The program is always reaped: when it is not done
// when the object goes away, it is stopped (SIGTERM, then SIGKILL) and waited for.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace ql {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program (looked up in PATH) with these arguments (argv[0] first). False,
  // with the reason in Error(), when it cannot be started.
  bool Start(const std::vector<std::string>& argv);
  // Reads exactly `size` bytes of the program's output, collecting its error output
  // meanwhile. False at the end of the output (or on a read error) before `size` bytes.
  bool ReadExactly(void* data, size_t size);
  // Reads one byte of output; -1 at the end.
  int ReadByte();
  // Waits for the program to end; its exit status, or -1 when it was killed by a signal.
  int Wait();
  // Stops the program if it still runs and reaps it.
  void Stop();
  bool Running() const { return pid_ > 0; }

  // The program's error output so far (at most 64 KB are kept).
  const std::string& ErrorOutput() const { return errors_; }
  const std::string& Error() const { return error_; }

 private:
  // Waits until output can be read, reading error output that comes first. False at end.
  bool WaitForOutput();
  void DrainErrors(bool block);
  void CloseFds();

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  int status_ = 0;
  std::vector<unsigned char> buffer_;
  size_t bufferPos_ = 0;
  std::string errors_;
  std::string error_;
};

}  // namespace ql
