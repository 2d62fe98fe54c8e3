#pragma once
// Receive mode: the modem waits for calls while the fax desk stays usable. Each fax
// that arrives is kept in the receive folder, listed as a received row and announced by
// the sound of the settings; a failed call is reported and leaves no file. The main
// window's Receive command turns it on and off.

#include <QString>
#include <string>

#include "fax_engine/components/receive_fax.h"
#include "serial/comport/com_port.h"

namespace ql {

class TMainScreen;

class TReceiveMode {
 public:
  explicit TReceiveMode(TMainScreen& desk);
  ~TReceiveMode();
  TReceiveMode(const TReceiveMode&) = delete;
  TReceiveMode& operator=(const TReceiveMode&) = delete;

  // The Receive command: starts receive mode when it is off, stops it when it is on.
  void Toggle();
  void Start();
  void Stop();

  TReceiveFax& Fax() { return fax_; }
  TComPort& Port() { return port_; }
  int LastFaxError() const { return lastError_; }
  int PagesSoFar() const { return pages_; }

  // The status bar's text during a call.
  static std::string StatusBarText(const std::string& statusText, const std::string& remoteId, int page);

 private:
  void ShowStatus(const QString& text);
  void SetCaptions(bool receiving);
  void UpdateValues();
  void Record();
  void Failed();

  TMainScreen& desk_;
  TComPort port_;
  TReceiveFax fax_;
  int lastError_ = 0;
  int pages_ = 0;
};

}  // namespace ql
