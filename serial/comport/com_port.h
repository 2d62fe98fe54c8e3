#pragma once
// TComPort: the component through which the program uses a serial port. It keeps the
// port's configuration as properties with defaults, opens and closes the port through
// the dispatcher, forwards property changes to the open port, raises exceptions for
// failed operations, and turns trigger notifications into events on the thread that
// opened it (the user-interface thread) through its hidden message window.
//
// ComNumber n opens the device that the installed port device resolver names for n
// (serial/comport/port_device_resolver.h).

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "serial/device/device_layer.h"
#include "serial/errors/exceptions.h"
#include "serial/triggers/trigger_tables.h"

namespace ql {

enum TDeviceLayer { dlNone, dlComm, dlFossil, dlWin32, dlWinsock, dlOther };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TDispatcherMode { dNone, dTimer, dCommEvents, dAuto, dWin32 };
enum THWFlowOption { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

// A set of THWFlowOption values.
class THWFlowOptions {
 public:
  THWFlowOptions() = default;
  THWFlowOptions(std::initializer_list<THWFlowOption> options) {
    for (THWFlowOption o : options) bits_ |= static_cast<uint8_t>(1u << o);
  }
  bool Contains(THWFlowOption o) const { return bits_ & (1u << o); }
  bool Empty() const { return bits_ == 0; }
  // The dispatcher's option bits: hwfUseDTR 1, hwfUseRTS 2, hwfRequireDSR 4, hwfRequireCTS 8.
  int DispatcherBits() const { return bits_; }
  bool operator==(const THWFlowOptions&) const = default;

 private:
  uint8_t bits_ = 0;
};

class TCustomComPort;
using TTriggerEvent = std::function<void(TCustomComPort& CP, uint16_t Msg, uint16_t TriggerHandle, uint16_t Data)>;
using TTriggerAvailEvent = std::function<void(TCustomComPort& CP, uint16_t Count)>;
using TTriggerStatusEvent = std::function<void(TCustomComPort& CP, uint16_t TriggerHandle)>;
using TTriggerTimerEvent = std::function<void(TCustomComPort& CP, uint16_t TriggerHandle)>;
using TTriggerLineErrorEvent = std::function<void(TCustomComPort& CP, uint16_t Error, bool LineBreak)>;
using TComPortNotifyEvent = std::function<void(TCustomComPort& CP)>;
using TWaitCharEvent = std::function<void(TCustomComPort& CP, char C)>;

// The hidden window's class name.
inline constexpr const char* kComWindowClass = "qlComWindow";

class TCustomComPort : public TComponentBase {
 public:
  TCustomComPort();
  ~TCustomComPort() override;
  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;

  // ---- properties ----
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer v);
  int ComNumber() const { return comNumber_; }
  void SetComNumber(int v);
  int32_t Baud() const { return baud_; }
  void SetBaud(int32_t v);
  TParity Parity() const { return parity_; }
  void SetParity(TParity v);
  int DataBits() const { return dataBits_; }
  void SetDataBits(int v);
  int StopBits() const { return stopBits_; }
  void SetStopBits(int v);
  int InSize() const { return inSize_; }
  void SetInSize(int v);
  int OutSize() const { return outSize_; }
  void SetOutSize(int v);
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool v) { autoOpen_ = v; }
  TDispatcherMode DispatcherMode() const { return dispatcherMode_; }
  void SetDispatcherMode(TDispatcherMode v);
  bool Open() const { return open_; }
  void SetOpen(bool v);
  bool DTR() const { return dtr_; }
  void SetDTR(bool v);
  bool RTS() const { return rts_; }
  void SetRTS(bool v);
  THWFlowOptions HWFlowOptions() const { return hwFlow_; }
  void SetHWFlowOptions(THWFlowOptions v);
  TSWFlowOptions SWFlowOptions() const { return swFlow_; }
  void SetSWFlowOptions(TSWFlowOptions v);
  char XOnChar() const { return xonChar_; }
  void SetXOnChar(char v);
  char XOffChar() const { return xoffChar_; }
  void SetXOffChar(char v);
  int BufferFull() const { return bufferFull_; }
  void SetBufferFull(int v);
  int BufferResume() const { return bufferResume_; }
  void SetBufferResume(int v);
  TTraceLogState Tracing() const { return trace_.state; }
  void SetTracing(TTraceLogState v);
  int TraceSize() const { return trace_.size; }
  void SetTraceSize(int v);
  std::string TraceName() const { return trace_.name; }
  void SetTraceName(const std::string& v) { trace_.name = v; }
  bool TraceHex() const { return trace_.hex; }
  void SetTraceHex(bool v) { trace_.hex = v; }
  TTraceLogState Logging() const { return log_.state; }
  void SetLogging(TTraceLogState v);
  int LogSize() const { return log_.size; }
  void SetLogSize(int v);
  std::string LogName() const { return log_.name; }
  void SetLogName(const std::string& v) { log_.name = v; }
  bool LogHex() const { return log_.hex; }
  void SetLogHex(bool v) { log_.hex = v; }
  bool UseMSRShadow() const { return useMSRShadow_; }
  void SetUseMSRShadow(bool v) { useMSRShadow_ = v; }
  bool UseEventWord() const { return useEventWord_; }
  void SetUseEventWord(bool v) { useEventWord_ = v; }
  int TriggerLength() const { return triggerLength_; }
  void SetTriggerLength(int v);
  int CommNotificationLevel() const { return commNotificationLevel_; }
  void SetCommNotificationLevel(int v) { commNotificationLevel_ = v; }
  TTapiMode TapiMode() const { return tapiMode_; }
  void SetTapiMode(TTapiMode v) { tapiMode_ = v; }
  intptr_t Tag = 0;

  // ---- events (run on the thread that opened the port) ----
  TTriggerEvent OnTrigger;
  TTriggerAvailEvent OnTriggerAvail;
  TTriggerStatusEvent OnTriggerStatus;
  TTriggerTimerEvent OnTriggerTimer;
  TTriggerLineErrorEvent OnTriggerLineError;
  TComPortNotifyEvent OnTriggerModemStatus;
  TComPortNotifyEvent OnTriggerOutbuffFree;
  TComPortNotifyEvent OnTriggerOutbuffUsed;
  TComPortNotifyEvent OnTriggerOutSent;
  TWaitCharEvent OnWaitChar;

  // ---- methods ----
  // The port handle; opens the port first when AutoOpen is set and it is closed.
  int PortHandle();
  void SendString(const std::string& text);
  bool HasChar();
  char TakeChar();
  // Waits up to ticks (55 ms each) for text to arrive; true when it did.
  bool AwaitString(const std::string& text, int32_t ticks, bool ignoreCase, bool yield);
  void ProcessComm();

  void StartTracing(int size = 0);
  void PauseTracing();
  void ResumeTracing();
  void ClearTracing();
  void StopTracing();
  void DumpTrace(const std::string& fileName, bool append, bool hex);
  void StartLogging(int size = 0);
  void PauseLogging();
  void ResumeLogging();
  void ClearLogging();
  void StopLogging();
  void DumpLog(const std::string& fileName, bool append, bool hex);

  // The installer called to open a port whose DeviceLayer is dlOther (the termios layer
  // unless replaced; null: such a port cannot open).
  void SetDeviceInstaller(void (*installer)()) { installer_ = installer; }
  // The device handle opened elsewhere that TapiMode tmOn opens on.
  void SetOutsideHandle(DeviceHandle handle) { outsideHandle_ = handle; }

  // Ends loading: an Open of True read while loading takes effect now.
  void Loaded();

  // Where an exception raised by an event handler goes (the application shows it);
  // without one it is dropped.
  static void SetExceptionDisplay(std::function<void(std::exception_ptr)> display);

  // The window procedure of the hidden windows.
  static intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);

 private:
  struct RecordSetting {
    TTraceLogState state = tlOff;
    int size = 10000;
    std::string name;
    bool hex = true;
    int maxSize;
    bool isTrace;
  };

  void OpenPortNow();
  void ClosePortNow();
  void ApplyRecordState(RecordSetting& r, TTraceLogState v);
  void ApplyRecordSize(RecordSetting& r, int v);
  void ApplyLine();
  void ApplyHWFlow();
  void ApplySWFlow();
  void DispatchEvent(uint32_t msg, uint16_t wParam, uint16_t lParamLow);
  bool ForceOrChanged(bool changed) const { return changed || force_; }

  TDeviceLayer deviceLayer_ = dlWin32;
  int comNumber_ = 0;
  int32_t baud_ = 19200;
  TParity parity_ = pNone;
  int dataBits_ = 8;
  int stopBits_ = 1;
  int inSize_ = 4096;
  int outSize_ = 4096;
  bool autoOpen_ = true;
  TDispatcherMode dispatcherMode_ = dWin32;
  bool open_ = false;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptions hwFlow_;
  TSWFlowOptions swFlow_ = swfNone;
  char xonChar_ = 17;
  char xoffChar_ = 19;
  int bufferFull_ = 0;
  int bufferResume_ = 0;
  RecordSetting trace_{tlOff, 10000, "COMM.TRC", true, 32760, true};
  RecordSetting log_{tlOff, 10000, "COMM.LOG", true, 65520, false};
  bool useMSRShadow_ = true;
  bool useEventWord_ = true;
  int triggerLength_ = 1;
  int commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = tmAuto;

  int handle_ = 0;
  bool force_ = false;
  bool rememberedOpen_ = false;
  int window_ = 0;
  TTriggerArea savedTriggers_;
  bool triggersSaved_ = false;
  void (*installer_)() = InstallTermiosLayer;
  DeviceHandle outsideHandle_ = -1;
};

class TComPort : public TCustomComPort {
 public:
  using TCustomComPort::TCustomComPort;
};

}  // namespace ql
