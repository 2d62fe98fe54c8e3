#pragma once
// The device layer: one table of 19 operations through which the dispatcher reaches a
// serial device. The table in force when a port opens is copied into the port, so each
// open port keeps the operations it was opened with. Two layers fill the table: the
// placeholder layer, whose operations fail, and the termios layer over POSIX terminals.
//
// Received data is not buffered here (the dispatcher keeps the receive buffer), but the
// output path is: a write only queues bytes in the port's output ring through the
// DeviceOutput the dispatcher attached to the device handle, and the dispatcher's output
// thread writes them to the device.

#include <cstdint>
#include <string>

#include "serial/device/comm_state.h"

namespace ql {

// Device handles are file descriptors; -1 is no handle.
using DeviceHandle = int;

struct TDeviceOps {
  int (*DevBuildState)(const char* definition, TCommState& state);
  int (*DevClearBreak)(DeviceHandle handle);
  int (*DevClose)(DeviceHandle handle);
  int (*DevEscape)(DeviceHandle handle, int function);
  int (*DevFlush)(DeviceHandle handle, int queue);  // 1 input, 0 output
  int (*DevGetError)(DeviceHandle handle, TComStat& status);
  int (*DevGetEventMask)(DeviceHandle handle, uint32_t mask);
  int (*DevGetState)(DeviceHandle handle, TCommState& state);
  DeviceHandle (*DevOpen)(const char* name);  // handle >= 0, -1 (see DeviceLastError) or -8
  int (*DevRead)(DeviceHandle handle, uint8_t* buffer, int count);
  int (*DevSetBreak)(DeviceHandle handle);
  int (*DevSetEventMask)(DeviceHandle handle, uint32_t mask);
  int (*DevSetState)(DeviceHandle handle, const TCommState& state);
  int (*DevTransmitChar)(DeviceHandle handle, uint8_t c);
  int (*DevPushBack)(DeviceHandle handle, uint8_t c);
  int (*DevWrite)(DeviceHandle handle, const uint8_t* buffer, int count);
  void (*DevEnableNotify)(DeviceHandle handle, int window, int levels);
  void (*DevAdoptHandle)(DeviceHandle handle, bool adopt);
  bool (*DevSetupQueues)(DeviceHandle handle, int inSize, int outSize);
};

// Fills the table with operations that fail with -3001 ("No device layer specified").
void InstallPlaceholderLayer();
// Fills the table with the termios operations.
void InstallTermiosLayer();
// The table in force now (a copy).
TDeviceOps CurrentDeviceOps();
// True when the operations are the termios layer's (the open operation identifies it).
bool IsTermiosLayer(const TDeviceOps& ops);

// The cause of the calling thread's last failed DevOpen, as a system error number of the
// program's numbering: 2 no such device, 5 the device is held by another program,
// 162 any other failure.
int DeviceLastError();

// The dispatcher's side of the output path of one open device.
class DeviceOutput {
 public:
  virtual ~DeviceOutput() = default;
  // Copies count bytes into the output ring and wakes the output thread.
  virtual void QueueOutput(const uint8_t* bytes, int count) = 0;
  // Stops the output thread's current write and empties the ring.
  virtual void DiscardOutput() = 0;
  // Bytes waiting in the output ring.
  virtual int OutputWaiting() = 0;
};

// Binds the output path of a device handle (nullptr unbinds). Returns false for a
// handle the termios layer does not know.
bool AttachDeviceOutput(DeviceHandle handle, DeviceOutput* output);

// The current modem lines of a device as kLine* bits. A device without modem lines (a
// pseudo-terminal) reads CTS, DSR and DCD as high; `hasLines` tells which it is.
uint8_t ReadModemLines(DeviceHandle handle, bool* hasLines = nullptr);

// Counts of line errors the driver has seen, for devices that keep them.
struct LineErrorCounts {
  uint32_t overrun = 0, parity = 0, frame = 0, brk = 0, bufferOverrun = 0;
  bool operator==(const LineErrorCounts&) const = default;
};
bool ReadLineErrorCounts(DeviceHandle handle, LineErrorCounts& counts);

// Folder of the UUCP lock files ("LCK..name"). Default: $QL_LOCK_DIR, else /run/lock,
// else /var/lock. Tests point it at a folder of their own.
void SetLockDirectory(const std::string& folder);
std::string LockDirectory();

}  // namespace ql
