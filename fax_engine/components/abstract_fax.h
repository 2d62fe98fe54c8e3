#pragma once
// The fax components: what the send and the receive component share. A fax component
// owns one session, a hidden message window of class "qlFaxHandler" through which its
// session reports, and links to a comm port, a status display and a fax history log.
// It turns the session's messages into calls of the status display and the log and
// into its events, which all run on the thread that made the component (the
// user-interface thread).
//
//   TCustomAbstractFax -> TAbstractFax -> TCustomSendFax -> TSendFax
//                                      -> TCustomReceiveFax -> TReceiveFax

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "fax_engine/session/fax_class.h"
#include "platform/message_windows/message_window.h"
#include "serial/comport/com_port.h"
#include "serial/errors/exceptions.h"

namespace ql {

struct FaxSession;
class TAbstractFaxStatus;
class TFaxLog;
class TCustomAbstractFax;

using TFaxStatusEvent = std::function<void(TCustomAbstractFax& CP, bool First, bool Last)>;
using TFaxLogEvent = std::function<void(TCustomAbstractFax& CP, TFaxLogCode LogCode)>;
using TFaxErrorEvent = std::function<void(TCustomAbstractFax& CP, int ErrorCode)>;
using TFaxFinishEvent = std::function<void(TCustomAbstractFax& CP, int ErrorCode)>;

inline constexpr const char* kFaxWindowClass = "qlFaxHandler";

enum class TFaxComponentKind { fkSend = 1, fkReceive = 2 };

class TCustomAbstractFax : public TComponentBase {
 public:
  ~TCustomAbstractFax() override;
  TCustomAbstractFax(const TCustomAbstractFax&) = delete;
  TCustomAbstractFax& operator=(const TCustomAbstractFax&) = delete;

  TFaxComponentKind Kind() const { return kind_; }

  // ---- links ----
  // Linking a port gives it the settings a fax modem needs: 8 data bits, 1 stop bit, no
  // parity, 19200 bps, buffers of 8192 bytes, RTS/CTS flow control.
  TComPort* ComPort() const { return comPort_; }
  void SetComPort(TComPort* port);
  TAbstractFaxStatus* StatusDisplay() const { return statusDisplay_; }
  void SetStatusDisplay(TAbstractFaxStatus* display);
  TFaxLog* FaxLog() const { return faxLog_; }
  void SetFaxLog(TFaxLog* log);
  // A linked component that goes away clears its link.
  void Unlink(const void* component);

  // ---- read-only values of the session (readable at any time) ----
  std::string RemoteID() const;
  // The classes the modem supports: the cached value while a session is prepared,
  // otherwise asked of the modem (after the port checks) and cached.
  TFaxClassSet SupportedFaxClasses();
  int FaxProgress() const;
  int LastError() const;
  int SessionBPS() const;
  bool SessionFine() const;
  bool SessionWide() const;
  bool SessionECM() const;
  int HangupCode() const;
  static std::string StatusText(int code);

  // The session log (off when empty): every command, response and frame of each call.
  std::string SessionLogName() const;
  void SetSessionLogName(const std::string& path);

  // Cancels a running session; the finish event follows.
  void CancelFax();

  // Where an exception raised by an event handler goes (the application shows it);
  // without one it is dropped.
  static void SetExceptionDisplay(std::function<void(std::exception_ptr)> display);

  // The window procedure of the hidden window.
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  TFaxStatusEvent OnFaxStatus;
  TFaxLogEvent OnFaxLog;
  TFaxErrorEvent OnFaxError;
  TFaxFinishEvent OnFaxFinish;

  int FakeProperty = 1;  // always stored as 1

 protected:
  TCustomAbstractFax(TFaxComponentKind kind, std::unique_ptr<FaxSession> session);

  FaxSession& Session() const { return *session_; }

  // The port checks before a session starts: no port (-1005), a socket port (-1009),
  // an output buffer smaller than 8192 bytes (-3006) raise; then the port handle goes
  // into the session.
  void CheckPortAndTakeHandle();
  // Starts the session with its prepare step and machine.
  void Start(int (*prepare)(FaxSession&), void (*machine)(uintptr_t, uint32_t, uintptr_t, intptr_t));

  // The operations the session's messages turn into.
  virtual void FaxStatus(bool first, bool last);
  virtual void FaxLogEntry(TFaxLogCode code);
  virtual void FaxError(int code);
  virtual void FaxFinish(int code);
  // Send kind: the next fax; false when there is none.
  virtual bool FaxNext(std::string& phoneNumber, std::string& faxFile, std::string& coverFile);
  // Receive kind: take the call?
  virtual bool FaxAccept();
  // Receive kind: the name of the file being received.
  virtual void FaxName(std::string& name);

  std::string faxFile_;

 private:
  void ApplyPortSettings();
  template <typename Event, typename... Args>
  void Raise(const Event& event, Args&&... args);

  TFaxComponentKind kind_;
  std::unique_ptr<FaxSession> session_;
  MessageWindow window_ = 0;
  TComPort* comPort_ = nullptr;
  TAbstractFaxStatus* statusDisplay_ = nullptr;
  TFaxLog* faxLog_ = nullptr;
  TFaxClassSet supportedClasses_ = 0;
};

// The published properties both kinds share, with their defaults.
class TAbstractFax : public TCustomAbstractFax {
 public:
  int32_t InitBaud() const;
  void SetInitBaud(int32_t baud);
  int32_t NormalBaud() const;
  void SetNormalBaud(int32_t baud);
  TFaxClass FaxClass() const;
  void SetFaxClass(TFaxClass faxClass);
  std::string ModemInit() const;
  void SetModemInit(const std::string& text);
  std::string StationID() const;
  void SetStationID(const std::string& id);
  std::string FaxFile() const { return faxFile_; }
  void SetFaxFile(const std::string& name) { faxFile_ = name.substr(0, kPathMax); }
  bool AbortNoConnect() const;
  void SetAbortNoConnect(bool on);
  bool ExitOnError() const;
  void SetExitOnError(bool on);
  bool SoftwareFlow() const;
  void SetSoftwareFlow(bool on);
  uint16_t StatusInterval() const;
  void SetStatusInterval(uint16_t seconds);
  uint16_t DesiredBPS() const;
  void SetDesiredBPS(uint16_t bps);
  bool DesiredECM() const;
  void SetDesiredECM(bool on);
  std::string FaxFileExt() const;
  void SetFaxFileExt(const std::string& ext);

 protected:
  using TCustomAbstractFax::TCustomAbstractFax;

 private:
  void SetOption(uint16_t option, bool on);
};

}  // namespace ql
