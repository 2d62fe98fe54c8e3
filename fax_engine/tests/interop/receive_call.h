#pragma once
// A receive component on a comm port, as the program uses them, driven from a test: the
// test thread owns both and lets their messages run. Like the fax desk, the test is the
// owner of the folder: a file whose call failed (log code 7) is looked at and removed.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/receive_fax.h"
#include "serial/comport/com_port.h"

namespace ql::testing {

struct ReceiveRun {
  bool finished = false;
  int finishCode = 0;
  std::vector<int> errors;
  std::vector<TFaxLogCode> logs;
  std::vector<std::string> kept;          // files logged as received whole (code 5)
  std::vector<std::string> failed;        // files of failed calls (code 7), removed
  std::vector<int> failedPageCounts;      // the page count in each failed file's header
  std::vector<std::string> remoteIds;     // the far ID at each code 5
  bool portReleased = false;
};

class ReceiveCall {
 public:
  // The port opens on `device` (as port COM1); faxes go to `folder`, the history to
  // `history`.
  ReceiveCall(const std::filesystem::path& device, const std::filesystem::path& folder,
              const std::filesystem::path& history);
  ~ReceiveCall();

  TReceiveFax fax;
  TComPort port;
  TFaxLog log;

  // Starts receiving and lets messages run until the run finishes, or `enough` says
  // the test has what it waited for (the run is then cancelled), at most `seconds`.
  // `tick` is called about every 50 ms meanwhile.
  ReceiveRun Run(double seconds, const std::function<bool(const ReceiveRun&)>& enough = {},
                 const std::function<void()>& tick = {});

  std::string History() const;

 private:
  std::filesystem::path history_;
};

}  // namespace ql::testing
