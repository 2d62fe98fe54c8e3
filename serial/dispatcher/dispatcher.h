#pragma once
// The dispatcher: every open serial port of the process. A port is addressed by its
// port handle (1 to 50); every operation takes it first and returns 0 (or a value) on
// success and a negative error code on failure; an invalid port handle gives -1001.
//
// Each open port runs three threads: the comm-event thread waits on the device with
// poll() and reports arrivals, modem-line changes and line errors; the dispatch thread
// reads received data into the port's 8192-byte receive buffer, checks the triggers
// after each event and at least every 50 ms, and notifies the handlers; the output
// thread writes the output ring to the device. One re-entrant lock per port guards the
// port's record; no lock is held while handlers run.

#include <cstdint>
#include <string>
#include <string_view>

#include "serial/device/device_layer.h"
#include "serial/triggers/handler_list.h"
#include "serial/triggers/trigger_tables.h"

namespace ql {

inline constexpr int kMaxPorts = 50;
inline constexpr int kReceiveBufferSize = 8192;
inline constexpr int kUserSlots = 10;
// Port flag: reads during a notification consume bytes instead of peeking.
inline constexpr uint32_t kReadsConsumeDuringNotify = 2;

// ---- opening and closing ----
// Parity 0 none, 1 odd, 2 even, 3 mark, 4 space. portHandle receives the handle.
int OpenPort(int& portHandle, const std::string& deviceName, int inSize, int outSize, int dataBits, int stopBits,
             int parity, int32_t baud);
// The same on a device handle opened elsewhere; the line settings are left as they are.
int OpenPortWithHandle(int& portHandle, DeviceHandle device, const std::string& deviceName, int inSize, int outSize,
                       int dataBits, int stopBits, int parity, int32_t baud);
// Pending output is discarded. Called while a notification runs (from a handler, say),
// the close completes on the dispatch thread when the notification returns.
int ClosePort(int port);

// ---- line and modem control ----
// Baud 0, parity 5, data bits 9 and stop bits 3 leave that setting as it is.
int SetLine(int port, int32_t baud, int parity, int dataBits, int stopBits);
int SetBaud(int port, int32_t baud);
int GetLine(int port, int32_t& baud, int& parity, int& dataBits, int& stopBits);
int SetDTR(int port, bool on);
int SetRTS(int port, bool on);
int SetModemLines(int port, bool dtr, bool rts);
// Options: 1 DTR handshake, 2 RTS handshake, 4 require DSR, 8 require CTS.
int SetHardwareFlow(int port, int fullMark, int resumeMark, int options);
int ClearHardwareFlow(int port);
// Options: 1 XON/XOFF on output, 2 on input.
int SetSoftwareFlow(int port, int fullMark, int resumeMark, int options);
int ClearSoftwareFlow(int port);
int SetFlowChars(int port, uint8_t xon, uint8_t xoff);
// The modem-status shadow (line states in the high nibble, change bits in the low
// nibble); afterwards only the bits in mask stay in the shadow.
int ModemStatus(int port, int mask);
// 1 when DCD is high, else 0; clears only the DCD change bit.
int CheckDCD(int port);
// 1 receive overflow, 2 overrun, 3 parity, 4 framing, 9 break, 0 none.
int LineError(int port);
int LineBreak(int port);  // 1 when a break was seen (and clears it), else 0

// ---- data ----
int WriteBlock(int port, const uint8_t* bytes, int count);
int WriteChar(int port, uint8_t c);
int WriteString(int port, std::string_view text);
int CharReady(int port);  // 1 or 0
int ReadChar(int port);   // the byte, or -3007 on an empty buffer
int InUsed(int port);
int OutUsed(int port);
int OutFree(int port);
int FlushInput(int port);
int FlushOutput(int port);
int SetUserSlot(int port, int slot, void* value);  // slots 1 to 10
int GetUserSlot(int port, int slot, void*& value);
int SetProtocolActive(int port, int32_t value);
int ProtocolActive(int port);  // the stored flag
// Holds (on) or releases notifications; returns the previous state (1 or 0).
int SuspendNotify(int port, bool on);
int ProcessComm(int port);
int SetPortFlags(int port, uint32_t flags);
int PortFlags(int port);
// 1 when the device went away while open (unplugged, hung up), else 0. Such a port
// reads its modem lines as low, refuses writes with -3004 and can only be closed.
int DeviceLost(int port);
// The device handle of an open port (negative when it has none).
int PortDeviceHandle(int port);

// ---- triggers and handlers ----
int SetAvailThreshold(int port, int count);
int NewTimerTrigger(int port);
int NewStatusTrigger(int port, int kind);
int ArmTimerTrigger(int port, int trigger, int32_t ticks, bool activate);
int ArmStatusTrigger(int port, int trigger, int value, bool activate);
int DropTrigger(int port, int trigger);
int StatusTriggerKind(int port, int trigger);
// A window handler when window is non-zero, otherwise a procedure handler.
int AttachHandler(int port, int window, TNotifyProc proc, bool passOn);
int DetachHandler(int port, int window, TNotifyProc proc);
int SaveTriggers(int port, TTriggerArea& area);
int RestoreTriggers(int port, const TTriggerArea& area);

// ---- trace and dispatch log ----
int TraceStart(int port, int entries);
int TracePause(int port);
int TraceResume(int port);
int TraceClear(int port);
int TraceStop(int port);
int TraceDump(int port, const std::string& fileName, bool append, bool hex);
int LogStart(int port, int bytes);
int LogPause(int port);
int LogResume(int port);
int LogClear(int port);
int LogStop(int port);
int LogDump(int port, const std::string& fileName, bool append, bool hex);

}  // namespace ql
