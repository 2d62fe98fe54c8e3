#pragma once
// A send component on a comm port, as the program uses them, driven from a test: the
// test thread owns both and lets their messages run until the run finishes.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/send_fax.h"
#include "serial/comport/com_port.h"

namespace ql::testing {

struct RunResult {
  bool finished = false;
  int finishCode = 0;
  std::vector<int> errors;
  std::vector<TFaxLogCode> logs;
  std::vector<int> progress;  // every status, in order
  bool portReleased = false;  // the session let go of the port: no protocol, no session slot
};

class SendCall {
 public:
  // The port opens on `device` (as port COM1); the history goes to `history`.
  SendCall(const std::filesystem::path& device, const std::filesystem::path& history);
  ~SendCall();

  TSendFax fax;
  TComPort port;
  TFaxLog log;

  // Starts the run and lets messages run until the finish event, at most `seconds`;
  // `tick` is called about every 50 ms meanwhile (to cancel, say).
  RunResult Run(double seconds, const std::function<void(SendCall&)>& tick = {});
  // Sends a series through OnFaxNext: each entry is (number, fax file, cover file).
  void Series(std::vector<std::vector<std::string>> faxes);

  std::string History() const;

 private:
  std::filesystem::path history_;
};

}  // namespace ql::testing
