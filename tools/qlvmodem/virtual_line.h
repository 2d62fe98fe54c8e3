#pragma once
// A running virtual fax line: the modems, the remotes, the exchange between them, the
// call log and the control interface, driven by one loop on one thread (spandsp's
// objects are not thread-safe). Calls with a modem run in real time, since the program
// behind the pty lives on the wall clock; calls between remotes may run faster.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "tools/qlvmodem/call_log.h"
#include "tools/qlvmodem/control.h"
#include "tools/qlvmodem/exchange.h"
#include "tools/qlvmodem/line_config.h"
#include "tools/qlvmodem/remote_fax.h"
#include "tools/qlvmodem/virtual_modem.h"

namespace ql::vmodem {

class VirtualLine {
 public:
  // Creates the folder, the modems' ptys and links, the remotes and the control socket
  // (DIR/control). Throws std::system_error / std::runtime_error.
  explicit VirtualLine(LineConfig config);
  ~VirtualLine();

  // Runs until Stop() or a "stop" command. Stop() may be called from any thread.
  void Run();
  void Stop() { stop_ = true; }

  // One block of line time (20 ms of audio); Run() calls it, tests may too.
  void Step();
  // Carries out one control command and returns its answer (loop thread only).
  std::string Command(const std::string& command);

  std::filesystem::path ControlPath() const { return config_.dir / "control"; }
  const LineConfig& Config() const { return config_; }

 private:
  std::string Status();
  std::string Send(const std::vector<std::string>& words);
  std::string Received(const std::vector<std::string>& words);
  std::string OrderFault(const std::vector<std::string>& words);
  void WaitForNextBlock(std::chrono::steady_clock::time_point deadline);
  void ReapFinishedCallers();

  LineConfig config_;
  CallLog log_;
  Exchange exchange_;
  std::vector<std::unique_ptr<VirtualModem>> modems_;
  std::vector<std::unique_ptr<RemoteFax>> remotes_;
  std::vector<std::unique_ptr<RemoteFax>> callers_;
  std::vector<SessionRecord> sentRecords_;   // of callers that have gone
  std::vector<std::string> sentNumbers_;
  std::unique_ptr<ControlServer> control_;
  std::atomic<bool> stop_{false};
  int nextCaller_ = 1;
};

}  // namespace ql::vmodem
