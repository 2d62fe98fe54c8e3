#pragma once
// What the fax commands (send, receive) share: the --class values and the modem port
// set up from the settings, a --device given on the command line and a --trace file.

#include <cstddef>
#include <string>

#include <iostream>

#include "app/settings/settings.h"
#include "fax_engine/components/fax_status.h"
#include "fax_engine/session/fax_class.h"
#include "serial/comport/com_port.h"

namespace qlfax {

// "auto", "1", "2" or "2.0"; false for anything else.
inline bool ParseFaxClass(const std::string& text, ql::TFaxClass& faxClass) {
  if (text == "auto") faxClass = ql::fcDetect;
  else if (text == "1") faxClass = ql::fcClass1;
  else if (text == "2") faxClass = ql::fcClass2;
  else if (text == "2.0") faxClass = ql::fcClass2_0;
  else return false;
  return true;
}

// Names port COMn after the settings (or `device`, when given) and readies it for a fax
// component; the component opens it.
inline void SetUpFaxPort(ql::TComPort& port, int comNumber, const std::string& device, const std::string& trace) {
  ql::LoadSettings();
  if (!device.empty()) ql::Settings().PortDevices[static_cast<std::size_t>(comNumber - 1)] = device;
  port.SetComNumber(comNumber);
  port.SetAutoOpen(false);
  if (!trace.empty()) {
    port.SetTraceName(trace);
    port.SetTraceSize(32760);
    port.SetTracing(ql::tlOn);
  }
}

// The status display of the command line: one line whenever the text changes.
class PrintedStatus : public ql::TAbstractFaxStatus {
 public:
  PrintedStatus() { CreateDisplayNow(); }
  ~PrintedStatus() override { DestroyDisplayNow(); }

  void UpdateDisplay(bool, bool) override {
    const std::string text = Fax() == nullptr ? std::string() : Text();
    if (text.empty() || text == last_) return;
    last_ = text;
    std::cout << text << std::endl;
  }

 protected:
  // The text of the fax's status now.
  virtual std::string Text() = 0;
  void CreateDisplay() override {}
  void DestroyDisplay() override {}

 private:
  std::string last_;
};

}  // namespace qlfax
