#include "serial/comport/com_port.h"

#include <array>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/message_pump.h"
#include "platform/message_windows/message_window.h"
#include "platform/text.h"
#include "serial/comport/port_device_resolver.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kComponentSlots = 100;

std::mutex gComponentsMutex;
std::array<TCustomComPort*, kComponentSlots + 1> gComponents{};  // index = port handle

std::mutex gDisplayMutex;
std::function<void(std::exception_ptr)>& ExceptionDisplay() {
  static std::function<void(std::exception_ptr)> display;
  return display;
}

void Register(int handle, TCustomComPort* component) {
  std::lock_guard lock(gComponentsMutex);
  if (handle >= 1 && handle <= kComponentSlots) gComponents[handle] = component;
}

TCustomComPort* ComponentOf(int handle) {
  std::lock_guard lock(gComponentsMutex);
  return handle >= 1 && handle <= kComponentSlots ? gComponents[handle] : nullptr;
}

// Open failures as the program reports them: a port that does not exist, or one that
// another program holds.
int MapOpenResult(int code) {
  if (code == ecAccessDenied) return ecAlreadyOpen;
  if (code == ecFileNotFound || code == ecPathNotFound) return ecBadId;
  return code;
}

// The dispatcher's trace or log operations.
struct RecordOps {
  int (*start)(int, int);
  int (*pause)(int);
  int (*resume)(int);
  int (*clear)(int);
  int (*stop)(int);
  int (*dump)(int, const std::string&, bool, bool);
};
constexpr RecordOps kTraceOps = {TraceStart, TracePause, TraceResume, TraceClear, TraceStop, TraceDump};
constexpr RecordOps kLogOps = {LogStart, LogPause, LogResume, LogClear, LogStop, LogDump};

// Holds notifications for the life of a wait and gives the previous state back.
class NotifyHold {
 public:
  NotifyHold(int port, int previous) : port_(port), previous_(previous) {}
  ~NotifyHold() {
    if (previous_ == 0) SuspendNotify(port_, false);
  }
  NotifyHold(const NotifyHold&) = delete;
  NotifyHold& operator=(const NotifyHold&) = delete;

 private:
  int port_;
  int previous_;
};

}  // namespace

TCustomComPort::TCustomComPort() = default;

TCustomComPort::~TCustomComPort() {
  if (handle_ != 0) {
    try {
      ClosePortNow();
    } catch (...) {
    }
  }
}

void TCustomComPort::SetExceptionDisplay(std::function<void(std::exception_ptr)> display) {
  std::lock_guard lock(gDisplayMutex);
  ExceptionDisplay() = std::move(display);
}

// ---- opening and closing ----

void TCustomComPort::SetOpen(bool v) {
  if (Loading()) {
    rememberedOpen_ = v;
    return;
  }
  if (v == open_) return;
  if (v) OpenPortNow();
  else ClosePortNow();
}

void TCustomComPort::Loaded() {
  EndLoading();
  if (rememberedOpen_ && !open_) OpenPortNow();
  rememberedOpen_ = false;
}

void TCustomComPort::OpenPortNow() {
  if (comNumber_ == 0) Check(ecNoPortSelected);
  if (deviceLayer_ == dlWin32) InstallTermiosLayer();
  else if (deviceLayer_ == dlOther && installer_ != nullptr) installer_();
  else if (Check(ecNullApi) < 0) return;

  int handle = 0;
  int result;
  if (tapiMode_ == tmOn) {
    result = OpenPortWithHandle(handle, outsideHandle_, "COM" + std::to_string(comNumber_), inSize_, outSize_, dataBits_,
                                stopBits_, parity_, baud_);
  } else {
    // A number that names no device is a port that does not exist.
    const std::string device = ResolvePortDevice(comNumber_);
    result = device.empty() ? ecBadId : OpenPort(handle, device, inSize_, outSize_, dataBits_, stopBits_, parity_, baud_);
  }
  if (Check(MapOpenResult(result)) < 0) return;
  handle_ = handle;
  try {
    if (tapiMode_ == tmOn) {
      int32_t baud = 0;
      int parity = 0, dataBits = 0, stopBits = 0;
      Check(GetLine(handle_, baud, parity, dataBits, stopBits));
      baud_ = baud;
      parity_ = static_cast<TParity>(parity);
      dataBits_ = dataBits;
      stopBits_ = stopBits;
    }
    force_ = true;
    SetTracing(trace_.state);
    SetLogging(log_.state);
    SetHWFlowOptions(hwFlow_);
    SetSWFlowOptions(swFlow_);
    SetXOnChar(xonChar_);
    SetXOffChar(xoffChar_);
    SetTriggerLength(triggerLength_);
    SetDTR(dtr_);
    SetRTS(rts_);
    // Handlers peek at received data, so every handler sees every byte.
    Check(SetPortFlags(handle_, static_cast<uint32_t>(PortFlags(handle_)) & ~kReadsConsumeDuringNotify));
    force_ = false;
  } catch (...) {
    force_ = false;
    ClosePort(handle_);
    handle_ = 0;
    throw;
  }
  open_ = true;
  Register(handle_, this);
  window_ = CreateMessageWindow(kComWindowClass, WindowProc);
  Check(AttachHandler(handle_, window_, nullptr, true));
  if (triggersSaved_) {
    Check(RestoreTriggers(handle_, savedTriggers_));
    triggersSaved_ = false;
  }
}

void TCustomComPort::ClosePortNow() {
  // A trace or log that is on reaches its file; the close goes on even when that fails,
  // and the failure is reported after.
  std::exception_ptr dumpFailure;
  for (RecordSetting* r : {&trace_, &log_}) {
    try {
      ApplyRecordState(*r, tlDump);
    } catch (...) {
      if (!dumpFailure) dumpFailure = std::current_exception();
      r->state = tlOff;
    }
  }
  SaveTriggers(handle_, savedTriggers_);
  triggersSaved_ = true;
  DetachHandler(handle_, window_, nullptr);
  DestroyMessageWindow(window_);
  window_ = 0;
  const int handle = handle_;
  ClosePort(handle);
  Register(handle, nullptr);
  handle_ = 0;
  open_ = false;
  if (dumpFailure) std::rethrow_exception(dumpFailure);
}

int TCustomComPort::PortHandle() {
  if (handle_ == 0 && autoOpen_ && !Loading()) SetOpen(true);
  return handle_;
}

// ---- properties ----

void TCustomComPort::SetDeviceLayer(TDeviceLayer v) {
  if (handle_ == 0 && (v == dlNone || v == dlWin32 || v == dlOther)) deviceLayer_ = v;
}

void TCustomComPort::SetDispatcherMode(TDispatcherMode v) {
  if (handle_ == 0 && (v == dNone || v == dWin32)) dispatcherMode_ = v;
}

void TCustomComPort::SetComNumber(int v) {
  if (v == comNumber_ && !force_) return;
  if (handle_ == 0) {
    comNumber_ = v;
    return;
  }
  // Close and open on the new device; the close saves the triggers and the open
  // restores them, and the trace and log states carry over.
  const TTraceLogState tracing = trace_.state, logging = log_.state;
  ClosePortNow();
  comNumber_ = v;
  SetTracing(tracing);
  SetLogging(logging);
  OpenPortNow();
}

void TCustomComPort::ApplyLine() {
  if (handle_ != 0) Check(ql::SetLine(handle_, baud_, parity_, dataBits_, stopBits_));
}

void TCustomComPort::SetBaud(int32_t v) {
  if (!ForceOrChanged(v != baud_)) return;
  baud_ = v;
  ApplyLine();
}

void TCustomComPort::SetParity(TParity v) {
  if (!ForceOrChanged(v != parity_)) return;
  parity_ = v;
  ApplyLine();
}

void TCustomComPort::SetDataBits(int v) {
  if (!ForceOrChanged(v != dataBits_)) return;
  dataBits_ = v;
  ApplyLine();
}

void TCustomComPort::SetStopBits(int v) {
  if (!ForceOrChanged(v != stopBits_)) return;
  stopBits_ = v;
  ApplyLine();
}

void TCustomComPort::SetInSize(int v) {
  inSize_ = v;
  if (handle_ != 0) CurrentDeviceOps().DevSetupQueues(PortDeviceHandle(handle_), inSize_, outSize_);
}

void TCustomComPort::SetOutSize(int v) {
  outSize_ = v;  // the output ring keeps its size until the port opens again
  if (handle_ != 0) CurrentDeviceOps().DevSetupQueues(PortDeviceHandle(handle_), inSize_, outSize_);
}

void TCustomComPort::SetDTR(bool v) {
  if (!ForceOrChanged(v != dtr_)) return;
  dtr_ = v;
  if (handle_ != 0) Check(ql::SetDTR(handle_, v));
}

void TCustomComPort::SetRTS(bool v) {
  if (!ForceOrChanged(v != rts_)) return;
  rts_ = v;
  if (handle_ != 0) Check(ql::SetRTS(handle_, v));
}

void TCustomComPort::SetXOnChar(char v) {
  if (!ForceOrChanged(v != xonChar_)) return;
  xonChar_ = v;
  if (handle_ != 0) Check(SetFlowChars(handle_, static_cast<uint8_t>(xonChar_), static_cast<uint8_t>(xoffChar_)));
}

void TCustomComPort::SetXOffChar(char v) {
  if (!ForceOrChanged(v != xoffChar_)) return;
  xoffChar_ = v;
  if (handle_ != 0) Check(SetFlowChars(handle_, static_cast<uint8_t>(xonChar_), static_cast<uint8_t>(xoffChar_)));
}

void TCustomComPort::SetTriggerLength(int v) {
  if (!ForceOrChanged(v != triggerLength_)) return;
  triggerLength_ = v;
  if (handle_ != 0) Check(SetAvailThreshold(handle_, v));
}

// ---- flow control ----

void TCustomComPort::ApplyHWFlow() {
  if (!hwFlow_.Empty()) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = static_cast<int>(inSize_ * 0.9);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) bufferResume_ = static_cast<int>(inSize_ * 0.1);
  }
  if (handle_ == 0) return;
  if (hwFlow_.Empty()) Check(ClearHardwareFlow(handle_));
  else Check(SetHardwareFlow(handle_, bufferFull_, bufferResume_, hwFlow_.DispatcherBits()));
}

void TCustomComPort::ApplySWFlow() {
  static constexpr int kOptionBits[] = {0, 2, 1, 3};  // swfNone, swfReceive, swfTransmit, swfBoth
  if (swFlow_ != swfNone) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = static_cast<int>(inSize_ * 0.75);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) bufferResume_ = static_cast<int>(inSize_ * 0.25);
  }
  if (handle_ == 0) return;
  if (swFlow_ == swfNone) Check(ClearSoftwareFlow(handle_));
  else Check(SetSoftwareFlow(handle_, bufferFull_, bufferResume_, kOptionBits[swFlow_]));
}

void TCustomComPort::SetHWFlowOptions(THWFlowOptions v) {
  if (!ForceOrChanged(!(v == hwFlow_))) return;
  hwFlow_ = v;
  ApplyHWFlow();
}

void TCustomComPort::SetSWFlowOptions(TSWFlowOptions v) {
  if (!ForceOrChanged(v != swFlow_)) return;
  swFlow_ = v;
  ApplySWFlow();
}

void TCustomComPort::SetBufferFull(int v) {
  bufferFull_ = v > inSize_ ? static_cast<int>(v * 0.9) : v;
  ApplyHWFlow();
  ApplySWFlow();
}

void TCustomComPort::SetBufferResume(int v) {
  bufferResume_ = v > bufferFull_ ? static_cast<int>(bufferFull_ * 0.1) : v;
  ApplyHWFlow();
  ApplySWFlow();
}

// ---- trace and log ----

void TCustomComPort::ApplyRecordState(RecordSetting& r, TTraceLogState v) {
  if (handle_ == 0) {
    r.state = v > tlOn ? tlOff : v;
    return;
  }
  if (!ForceOrChanged(v != r.state)) return;
  const RecordOps& ops = r.isTrace ? kTraceOps : kLogOps;
  const bool live = r.state == tlOn || r.state == tlPause;
  switch (v) {
    case tlOff:
      if (live) Check(ops.stop(handle_));
      r.state = tlOff;
      break;
    case tlOn:
      Check(r.state == tlPause ? ops.resume(handle_) : ops.start(handle_, r.size));
      r.state = tlOn;
      break;
    case tlDump:
    case tlAppend:
      if (live) {
        Check(ops.resume(handle_));
        r.state = tlOff;  // the record is gone whether or not the file could be written
        Check(ops.dump(handle_, r.name, v == tlAppend, r.hex));
      }
      r.state = tlOff;
      break;
    case tlClear:
      if (live) Check(ops.clear(handle_));
      break;
    case tlPause:
      if (r.state == tlOn) {
        Check(ops.pause(handle_));
        r.state = tlPause;
      }
      break;
  }
}

void TCustomComPort::ApplyRecordSize(RecordSetting& r, int v) {
  r.size = std::min(v, r.maxSize);
  if (handle_ != 0 && (r.state == tlOn || r.state == tlPause)) {
    const TTraceLogState previous = r.state;
    ApplyRecordState(r, tlOff);
    const bool wasForced = force_;
    force_ = true;
    ApplyRecordState(r, previous == tlPause ? tlOn : previous);
    if (previous == tlPause) ApplyRecordState(r, tlPause);
    force_ = wasForced;
  }
}

void TCustomComPort::SetTracing(TTraceLogState v) { ApplyRecordState(trace_, v); }
void TCustomComPort::SetLogging(TTraceLogState v) { ApplyRecordState(log_, v); }
void TCustomComPort::SetTraceSize(int v) { ApplyRecordSize(trace_, v); }
void TCustomComPort::SetLogSize(int v) { ApplyRecordSize(log_, v); }

void TCustomComPort::StartTracing(int size) {
  if (size != 0) trace_.size = std::min(size, trace_.maxSize);
  Check(TraceStart(PortHandle(), trace_.size));
  trace_.state = tlOn;
}
void TCustomComPort::PauseTracing() { SetTracing(tlPause); }
void TCustomComPort::ResumeTracing() { SetTracing(tlOn); }
void TCustomComPort::ClearTracing() { SetTracing(tlClear); }
void TCustomComPort::StopTracing() { SetTracing(tlOff); }
void TCustomComPort::DumpTrace(const std::string& fileName, bool append, bool hex) {
  trace_.state = tlOff;
  Check(TraceDump(PortHandle(), fileName, append, hex));
}

void TCustomComPort::StartLogging(int size) {
  if (size != 0) log_.size = std::min(size, log_.maxSize);
  Check(LogStart(PortHandle(), log_.size));
  log_.state = tlOn;
}
void TCustomComPort::PauseLogging() { SetLogging(tlPause); }
void TCustomComPort::ResumeLogging() { SetLogging(tlOn); }
void TCustomComPort::ClearLogging() { SetLogging(tlClear); }
void TCustomComPort::StopLogging() { SetLogging(tlOff); }
void TCustomComPort::DumpLog(const std::string& fileName, bool append, bool hex) {
  log_.state = tlOff;
  Check(LogDump(PortHandle(), fileName, append, hex));
}

// ---- data ----

void TCustomComPort::SendString(const std::string& text) { Check(WriteString(PortHandle(), text)); }

bool TCustomComPort::HasChar() { return Check(CharReady(PortHandle())) > 0; }

char TCustomComPort::TakeChar() {
  const int c = Check(ReadChar(PortHandle()));
  return c < 0 ? '\0' : static_cast<char>(c);
}

void TCustomComPort::ProcessComm() { Check(ql::ProcessComm(PortHandle())); }

bool TCustomComPort::AwaitString(const std::string& text, int32_t ticks, bool ignoreCase, bool yield) {
  if (text.empty()) return true;
  const int port = PortHandle();
  const int previous = Check(SuspendNotify(port, true));
  NotifyHold hold(port, previous);
  EventTimer timer;
  ArmTimer(timer, ticks);
  auto fold = [ignoreCase](char c) { return ignoreCase ? AsciiUpper(c) : c; };
  std::size_t matched = 0;
  for (;;) {
    if (Check(CharReady(port)) > 0) {
      const char c = static_cast<char>(Check(ReadChar(port)));
      if (OnWaitChar) OnWaitChar(*this, c);
      if (fold(c) == fold(text[matched])) ++matched;
      else matched = fold(c) == fold(text[0]) ? 1 : 0;
      if (matched == text.size()) return true;
      continue;
    }
    if (TimerExpired(timer)) return false;
    if (yield) ProcessPendingMessages();
    if (ApplicationTerminating()) return true;
    // Nothing to read: give the line a moment instead of spinning.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// ---- notifications ----

intptr_t TCustomComPort::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const int port = static_cast<int>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF);
  TCustomComPort* component = ComponentOf(port);
  if (component == nullptr) return 0;
  if (msg != kMsgTriggerAvail && msg != kMsgTriggerTimer && msg != kMsgTriggerStatus) return 0;
  try {
    component->DispatchEvent(msg, static_cast<uint16_t>(wParam), static_cast<uint16_t>(lParam & 0xFFFF));
  } catch (...) {
    std::function<void(std::exception_ptr)> display;
    {
      std::lock_guard lock(gDisplayMutex);
      display = ExceptionDisplay();
    }
    if (display) display(std::current_exception());
  }
  return 0;
}

void TCustomComPort::DispatchEvent(uint32_t msg, uint16_t wParam, uint16_t lParamLow) {
  const uint16_t message = static_cast<uint16_t>(msg);
  if (msg == kMsgTriggerAvail) {
    if (OnTrigger) OnTrigger(*this, message, wParam, wParam);
    if (OnTriggerAvail) OnTriggerAvail(*this, wParam);
    return;
  }
  if (OnTrigger) OnTrigger(*this, message, wParam, lParamLow);
  if (msg == kMsgTriggerTimer) {
    if (OnTriggerTimer) OnTriggerTimer(*this, wParam);
    return;
  }
  if (OnTriggerStatus) OnTriggerStatus(*this, wParam);
  switch (handle_ == 0 ? 0 : StatusTriggerKind(handle_, wParam)) {
    case kStatusModem:
      if (OnTriggerModemStatus) OnTriggerModemStatus(*this);
      break;
    case kStatusLineError:
      if (OnTriggerLineError) {
        const bool lineBreak = Check(LineBreak(handle_)) != 0;
        const int error = Check(LineError(handle_));
        OnTriggerLineError(*this, static_cast<uint16_t>(error), lineBreak);
      }
      break;
    case kStatusOutFree:
      if (OnTriggerOutbuffFree) OnTriggerOutbuffFree(*this);
      break;
    case kStatusOutUsed:
      if (OnTriggerOutbuffUsed) OnTriggerOutbuffUsed(*this);
      break;
    case kStatusOutSent:
      if (OnTriggerOutSent) OnTriggerOutSent(*this);
      break;
    default:
      break;
  }
}

}  // namespace ql
