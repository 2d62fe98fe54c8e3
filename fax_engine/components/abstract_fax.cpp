#include "fax_engine/components/abstract_fax.h"

#include <mutex>

#include "fax_engine/components/fax_handler_window.h"
#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/fax_status.h"
#include "fax_engine/components/two_way_link.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/session_run.h"
#include "fax_engine/session/status_texts.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kFaxBufferSize = 8192;
constexpr int32_t kFaxPortBaud = 19200;

std::mutex& DisplayLock() {
  static std::mutex lock;
  return lock;
}
std::function<void(std::exception_ptr)>& ExceptionDisplay() {
  static std::function<void(std::exception_ptr)> display;
  return display;
}

// Hands the exception being handled to the display the application installed.
void ShowCurrentException() {
  std::function<void(std::exception_ptr)> display;
  {
    std::lock_guard guard(DisplayLock());
    display = ExceptionDisplay();
  }
  if (display) display(std::current_exception());
}

}  // namespace

TCustomAbstractFax::TCustomAbstractFax(TFaxComponentKind kind, std::unique_ptr<FaxSession> session)
    : kind_(kind), session_(std::move(session)) {
  window_ = CreateFaxHandlerWindow(*this);
  session_->common.notifyWindow = window_;
}

TCustomAbstractFax::~TCustomAbstractFax() {
  // A run still under way is cancelled; its messages have nobody to go to any more.
  if (session_->common.Prepared) CancelFax();
  DestroyFaxHandlerWindow(window_);
  if (statusDisplay_ != nullptr) statusDisplay_->SetFax(nullptr);
  if (faxLog_ != nullptr) faxLog_->SetFax(nullptr);
  UnregisterSession(*session_);
}

void TCustomAbstractFax::SetExceptionDisplay(std::function<void(std::exception_ptr)> display) {
  std::lock_guard guard(DisplayLock());
  ExceptionDisplay() = std::move(display);
}

template <typename Event, typename... Args>
void TCustomAbstractFax::Raise(const Event& event, Args&&... args) {
  if (!event) return;
  try {
    event(*this, std::forward<Args>(args)...);
  } catch (...) {
    ShowCurrentException();
  }
}

// ---- links ----

void TCustomAbstractFax::ApplyPortSettings() {
  if (comPort_ == nullptr || comPort_->Loading()) return;
  comPort_->SetDataBits(8);
  comPort_->SetStopBits(1);
  comPort_->SetParity(pNone);
  comPort_->SetBaud(kFaxPortBaud);
  comPort_->SetInSize(kFaxBufferSize);
  comPort_->SetOutSize(kFaxBufferSize);
  comPort_->SetHWFlowOptions({hwfUseRTS, hwfRequireCTS});
}

void TCustomAbstractFax::SetComPort(TComPort* port) {
  comPort_ = port;
  ApplyPortSettings();
}

void TCustomAbstractFax::SetStatusDisplay(TAbstractFaxStatus* display) {
  LinkBothWays(this, statusDisplay_, display, &TAbstractFaxStatus::Fax, &TAbstractFaxStatus::SetFax);
}

void TCustomAbstractFax::SetFaxLog(TFaxLog* log) { LinkBothWays(this, faxLog_, log, &TFaxLog::Fax, &TFaxLog::SetFax); }

void TCustomAbstractFax::Unlink(const void* component) {
  if (component == comPort_) comPort_ = nullptr;
  if (component == statusDisplay_) statusDisplay_ = nullptr;
  if (component == faxLog_) faxLog_ = nullptr;
}

// ---- read-only values ----

std::string TCustomAbstractFax::RemoteID() const { return session_->common.RemoteID(); }
int TCustomAbstractFax::FaxProgress() const { return session_->common.FaxProgress; }
int TCustomAbstractFax::LastError() const { return session_->common.LastError; }
int TCustomAbstractFax::SessionBPS() const { return session_->modem.sessionBps; }
bool TCustomAbstractFax::SessionFine() const { return session_->modem.fine; }
bool TCustomAbstractFax::SessionWide() const { return session_->modem.wide; }
bool TCustomAbstractFax::SessionECM() const { return session_->modem.ecm; }
int TCustomAbstractFax::HangupCode() const { return session_->modem.HangupCode; }
std::string TCustomAbstractFax::StatusText(int code) { return ql::StatusText(code); }

std::string TCustomAbstractFax::SessionLogName() const { return session_->log.FileName(); }
void TCustomAbstractFax::SetSessionLogName(const std::string& path) { session_->log.SetFileName(path); }

TFaxClassSet TCustomAbstractFax::SupportedFaxClasses() {
  if (session_->common.Prepared) return supportedClasses_;
  CheckPortAndTakeHandle();
  supportedClasses_ = DetectFaxClass(*session_, false);
  return supportedClasses_;
}

// ---- starting and stopping ----

void TCustomAbstractFax::CheckPortAndTakeHandle() {
  if (comPort_ == nullptr) Check(ecPortNotAssigned);
  if (comPort_->DeviceLayer() == dlWinsock) Check(ecCannotUseWithWinSock);
  if (comPort_->OutSize() < kFaxBufferSize) Check(ecOutputBufferTooSmall);
  session_->common.portHandle = comPort_->PortHandle();
}

void TCustomAbstractFax::Start(int (*prepare)(FaxSession&), void (*machine)(uintptr_t, uint32_t, uintptr_t, intptr_t)) {
  session_->prepare = prepare;
  session_->machine = machine;
  StartSession(*session_);
}

void TCustomAbstractFax::CancelFax() {
  if (session_->machine != nullptr) CancelSession(*session_);
}

// ---- messages of the session ----

intptr_t TCustomAbstractFax::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t) {
  FaxCommon& c = session_->common;
  switch (msg) {
    case FaxMsgNextFile: {
      std::string phone, file, cover;
      if (!FaxNext(phone, file, cover) || phone.empty()) return 0;
      c.phoneNumber = phone.substr(0, kPhoneNumberMax);
      c.faxFile = file.substr(0, kPathMax);
      c.coverFile = cover.substr(0, kPathMax);
      return 1;
    }
    case FaxMsgStatus: FaxStatus(wParam == 1, wParam == 2); return 0;
    case FaxMsgLog: FaxLogEntry(static_cast<TFaxLogCode>(wParam)); return 0;
    case FaxMsgName:
      FaxName(faxFile_);
      faxFile_ = faxFile_.substr(0, kPathMax);
      c.faxFile = faxFile_;
      return 0;
    case FaxMsgAccept: return FaxAccept() ? 1 : 0;
    case FaxMsgError: FaxError(static_cast<int>(static_cast<intptr_t>(wParam))); return 0;
    case FaxMsgFinish: FaxFinish(static_cast<int>(static_cast<intptr_t>(wParam))); return 0;
    default: return 0;
  }
}

void TCustomAbstractFax::FaxStatus(bool first, bool last) {
  if (statusDisplay_ != nullptr) statusDisplay_->UpdateDisplay(first, last);
  Raise(OnFaxStatus, first, last);
}

void TCustomAbstractFax::FaxLogEntry(TFaxLogCode code) {
  if (faxLog_ != nullptr) {
    try {
      faxLog_->UpdateLog(code);
    } catch (...) {
      ShowCurrentException();
    }
  }
  Raise(OnFaxLog, code);
  if (code == lfaxReceiveOk || code == lfaxReceiveSkip || code == lfaxReceiveFail) faxFile_.clear();
}

void TCustomAbstractFax::FaxError(int code) { Raise(OnFaxError, code); }
void TCustomAbstractFax::FaxFinish(int code) { Raise(OnFaxFinish, code); }
bool TCustomAbstractFax::FaxNext(std::string&, std::string&, std::string&) { return false; }
bool TCustomAbstractFax::FaxAccept() { return true; }
void TCustomAbstractFax::FaxName(std::string&) {}

// ---- TAbstractFax: published properties ----

int32_t TAbstractFax::InitBaud() const { return Session().modem.InitBaud; }

void TAbstractFax::SetInitBaud(int32_t baud) {
  FaxModemData& m = Session().modem;
  if (baud != 0 && m.NormalBaud == 0 && ComPort() != nullptr) m.NormalBaud = ComPort()->Baud();
  m.InitBaud = baud;
  if (baud != 0 && ComPort() != nullptr && ComPort()->Open() && !Loading()) {
    Session().common.portHandle = ComPort()->PortHandle();
    SwitchToInitBaud(Session());
  }
}

int32_t TAbstractFax::NormalBaud() const { return Session().modem.NormalBaud; }
void TAbstractFax::SetNormalBaud(int32_t baud) { Session().modem.NormalBaud = baud; }
TFaxClass TAbstractFax::FaxClass() const { return Session().common.FaxClass; }
void TAbstractFax::SetFaxClass(TFaxClass faxClass) { Session().common.FaxClass = faxClass; }
std::string TAbstractFax::ModemInit() const { return Session().modem.ModemInit; }
void TAbstractFax::SetModemInit(const std::string& text) { ql::SetModemInit(Session(), text); }
std::string TAbstractFax::StationID() const { return Session().common.StationID; }
void TAbstractFax::SetStationID(const std::string& id) { SetStationId(Session(), id); }

void TAbstractFax::SetOption(uint16_t option, bool on) {
  uint16_t& options = Session().common.options;
  options = static_cast<uint16_t>(on ? options | option : options & ~option);
}

bool TAbstractFax::AbortNoConnect() const { return (Session().common.options & foAbortNoConnect) != 0; }
void TAbstractFax::SetAbortNoConnect(bool on) { SetOption(foAbortNoConnect, on); }
bool TAbstractFax::ExitOnError() const { return (Session().common.options & foExitOnError) != 0; }
void TAbstractFax::SetExitOnError(bool on) { SetOption(foExitOnError, on); }
bool TAbstractFax::SoftwareFlow() const { return (Session().common.options & foSoftwareFlow) != 0; }
void TAbstractFax::SetSoftwareFlow(bool on) { SetOption(foSoftwareFlow, on); }
uint16_t TAbstractFax::StatusInterval() const { return Session().common.StatusInterval; }
void TAbstractFax::SetStatusInterval(uint16_t seconds) { Session().common.StatusInterval = seconds; }
uint16_t TAbstractFax::DesiredBPS() const { return Session().modem.DesiredBPS; }
void TAbstractFax::SetDesiredBPS(uint16_t bps) { Session().modem.DesiredBPS = bps; }
bool TAbstractFax::DesiredECM() const { return Session().modem.DesiredECM == '1'; }
void TAbstractFax::SetDesiredECM(bool on) { Session().modem.DesiredECM = on ? '1' : '0'; }
std::string TAbstractFax::FaxFileExt() const { return Session().common.FaxFileExt; }
void TAbstractFax::SetFaxFileExt(const std::string& ext) { Session().common.FaxFileExt = ext.substr(0, 3); }

}  // namespace ql
