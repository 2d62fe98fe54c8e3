#pragma once
// The far side of a test call, as a user would have it: the virtual fax line program
// (qlvmodem) in a folder of its own, with its remote fax machines and virtual modems,
// and efax waiting for a call on a second virtual modem. Both are programs we did not
// write for the engine; the tests reach them only through their files, their control
// command and the modems' pseudo-terminals.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ql::testing {

// Runs a program with arguments; its standard output goes to `output` (appended);
// returns the process id.
pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& output);
// Waits for a process at most `seconds`; its exit status, or -1 when it did not end.
int WaitForExit(pid_t pid, double seconds);

class FaxLine {
 public:
  // Starts qlvmodem in `dir` with the given --modem and --remote arguments (and any
  // further ones), ringing every second; waits until the modems' links are there.
  FaxLine(const std::filesystem::path& dir, const std::vector<std::string>& modems,
          const std::vector<std::string>& remotes, const std::vector<std::string>& extra = {});
  ~FaxLine();
  FaxLine(const FaxLine&) = delete;
  FaxLine& operator=(const FaxLine&) = delete;

  std::filesystem::path Link(const std::string& modemName) const { return dir_ / modemName; }
  const std::filesystem::path& Dir() const { return dir_; }
  // A control command ("fault 200 busy"); its answer.
  std::string Control(const std::string& command) const;

  // The session records a remote kept, oldest first: key=value fields.
  std::vector<std::map<std::string, std::string>> Records(const std::string& remoteNumber) const;
  std::string CallLog() const;
  // Ends the line program at once, without its goodbye: its modems go as a modem does
  // that is pulled out, the pseudo-terminals closing under the programs using them.
  void Unplug();

 private:
  std::filesystem::path dir_;
  pid_t pid_ = -1;
};

// efax waiting on a virtual modem for one call and keeping its pages as PREFIX.001 ...
class EfaxReceiver {
 public:
  // capabilities: efax's -c value (empty: its default).
  EfaxReceiver(const std::filesystem::path& link, const std::filesystem::path& prefix, const std::string& localId,
               const std::string& capabilities = "");
  ~EfaxReceiver();
  EfaxReceiver(const EfaxReceiver&) = delete;
  EfaxReceiver& operator=(const EfaxReceiver&) = delete;

  // Waits for efax to finish the call; its exit status (0: fax received).
  int Wait(double seconds);
  std::vector<std::filesystem::path> Pages() const;
  std::string Log() const;

 private:
  std::filesystem::path prefix_;
  std::filesystem::path log_;
  pid_t pid_ = -1;
};

}  // namespace ql::testing
