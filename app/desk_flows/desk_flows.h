#pragma once
// The fax desk's flows attached to the main window's commands: Send, Receive mode,
// Modem Reset and the transmission report, documents dropped on the outgoing list, and
// the printer-driver pickup at activation.
// The program and the end-to-end tests attach them the same way.

#include <memory>

namespace ql {

class TMainScreen;
class TReceiveMode;

class TDeskFlows {
 public:
  virtual ~TDeskFlows() = default;
  virtual TReceiveMode& Receive() = 0;
};

// Attaches every flow to the window; the returned object holds their state (the
// modem-reset port, receive mode) and lives as long as the window.
std::unique_ptr<TDeskFlows> AttachDeskFlows(TMainScreen& desk);

}  // namespace ql
