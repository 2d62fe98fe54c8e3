// The termios device layer: a serial device opened by path, non-blocking and exclusive,
// driven with termios and the modem-line ioctls.

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/stat.h>

#include "serial/device/build_state.h"
#include "serial/device/device_layer.h"
#include "serial/device/port_lock_file.h"
#include "serial/device/termios_mapping.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kNoRecord = ecFileNotOpen;  // -103

// What the layer keeps per device handle it opened or adopted.
struct HandleRecord {
  std::string path;        // empty for an adopted handle
  std::string lockFolder;  // where its lock file is, empty when none was taken
  uint8_t dtrControl = kLineControlEnable;
  uint8_t rtsControl = kLineControlEnable;
  TCommState flow;         // the settings termios cannot hold (limits, DSR flow)
  DeviceOutput* output = nullptr;
  bool framingFixed = false;  // the device kept 8N framing whatever was asked
};

// Kept past static destruction, like the port table: a close finishing on a dispatch
// thread at program end may still release its device.
std::mutex& RecordsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::map<DeviceHandle, HandleRecord>& Records() {
  static auto* records = new std::map<DeviceHandle, HandleRecord>;
  return *records;
}

thread_local int tLastError = 0;

std::mutex gLockFolderMutex;
std::string& LockFolderSetting() {
  static std::string folder;
  return folder;
}

bool HasRecord(DeviceHandle handle) {
  std::lock_guard lock(RecordsMutex());
  return Records().count(handle) != 0;
}

DeviceOutput* OutputOf(DeviceHandle handle) {
  std::lock_guard lock(RecordsMutex());
  auto it = Records().find(handle);
  return it == Records().end() ? nullptr : it->second.output;
}

int SystemErrorNumber(int err) {
  switch (err) {
    case ENOENT: case ENODEV: case ENXIO: case ENOTDIR: case ENOTTY:
      return 2;
    case EACCES: case EPERM: case EBUSY:
      return 5;
    default:
      return 162;
  }
}

// Raises or drops one modem line; devices without modem lines ignore it.
void SetModemLine(DeviceHandle handle, int line, bool on) {
  int bits = line;
  (void)::ioctl(handle, on ? TIOCMBIS : TIOCMBIC, &bits);
}

// ---- the operations ----

int BuildState(const char* definition, TCommState& state) { return BuildCommState(definition, state) ? 0 : -1; }

int ClearBreak(DeviceHandle handle) { return ::ioctl(handle, TIOCCBRK) == 0 ? 0 : -1; }
int SetBreak(DeviceHandle handle) { return ::ioctl(handle, TIOCSBRK) == 0 ? 0 : -1; }

int Close(DeviceHandle handle) {
  HandleRecord record;
  {
    std::lock_guard lock(RecordsMutex());
    auto it = Records().find(handle);
    if (it != Records().end()) {
      record = it->second;
      Records().erase(it);
    }
  }
  if (!record.lockFolder.empty()) ReleaseDeviceLock(record.lockFolder, record.path);
  return ::close(handle) == 0 ? 0 : -1;
}

int Escape(DeviceHandle handle, int function) {
  std::lock_guard lock(RecordsMutex());
  auto it = Records().find(handle);
  switch (function) {
    case kEscSetXoff: (void)::tcflow(handle, TCOOFF); break;
    case kEscSetXon: (void)::tcflow(handle, TCOON); break;
    case kEscSetDtr:
    case kEscClrDtr:
      SetModemLine(handle, TIOCM_DTR, function == kEscSetDtr);
      if (it != Records().end() && it->second.dtrControl != kLineControlHandshake)
        it->second.dtrControl = function == kEscSetDtr ? kLineControlEnable : kLineControlDisable;
      break;
    case kEscSetRts:
    case kEscClrRts:
      SetModemLine(handle, TIOCM_RTS, function == kEscSetRts);
      if (it != Records().end() && it->second.rtsControl != kLineControlHandshake)
        it->second.rtsControl = function == kEscSetRts ? kLineControlEnable : kLineControlDisable;
      break;
    default: break;
  }
  return 0;
}

int Flush(DeviceHandle handle, int queue) {
  if (queue == 1) return ::tcflush(handle, TCIFLUSH) == 0 ? 0 : errno;
  DeviceOutput* output = OutputOf(handle);
  if (output == nullptr) return SystemErrorNumber(EBADF);
  output->DiscardOutput();
  return ::tcflush(handle, TCOFLUSH) == 0 ? 0 : errno;
}

int GetError(DeviceHandle handle, TComStat& status) {
  DeviceOutput* output = OutputOf(handle);
  if (output == nullptr) return kNoRecord;
  int waiting = 0;
  status.InQueue = ::ioctl(handle, FIONREAD, &waiting) == 0 && waiting > 0 ? static_cast<uint32_t>(waiting) : 0;
  status.OutQueue = static_cast<uint32_t>(output->OutputWaiting());
  status.Flags = 0;
  return 0;  // line errors come through the dispatcher's error counts
}

int NoEventMask(DeviceHandle, uint32_t) { return 0; }

int GetState(DeviceHandle handle, TCommState& state) {
  termios t {};
  if (::tcgetattr(handle, &t) != 0) return -1;
  HandleRecord record;
  {
    std::lock_guard lock(RecordsMutex());
    auto it = Records().find(handle);
    if (it != Records().end()) record = it->second;
  }
  state = record.flow;
  const TCommState asked = record.flow;
  StateFromTermios(t, state);
  if (record.framingFixed) {
    // A pseudo-terminal has no line to frame: report the framing that was asked for.
    state.ByteSize = asked.ByteSize;
    state.Parity = asked.Parity;
    state.StopBits = asked.StopBits;
  }
  state.OutxCtsFlow = state.OutxCtsFlow && asked.OutxCtsFlow;
  state.DtrControl = record.dtrControl;
  state.RtsControl = record.rtsControl;
  return 0;
}

int SetState(DeviceHandle handle, const TCommState& state) {
  termios t {};
  if (::tcgetattr(handle, &t) != 0 || !StateToTermios(state, t)) return -1;
  // A pseudo-terminal (no modem lines) holds only 8 data bits without parity; it gets
  // that framing, and the framing asked for is what it reports.
  bool hasLines = true;
  ReadModemLines(handle, &hasLines);
  if (!hasLines) t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR)) | CS8;
  if (::tcsetattr(handle, TCSANOW, &t) != 0) return -1;
  const bool framingFixed = !hasLines;
  std::lock_guard lock(RecordsMutex());
  auto it = Records().find(handle);
  if (it != Records().end()) {
    HandleRecord& r = it->second;
    // Apply a line-control mode only when it changes, so a line raised or dropped by an
    // escape keeps its state through later settings writes.
    if (state.DtrControl != r.dtrControl && state.DtrControl != kLineControlHandshake)
      SetModemLine(handle, TIOCM_DTR, state.DtrControl == kLineControlEnable);
    if (state.RtsControl != r.rtsControl && state.RtsControl != kLineControlHandshake)
      SetModemLine(handle, TIOCM_RTS, state.RtsControl == kLineControlEnable);
    r.dtrControl = state.DtrControl;
    r.rtsControl = state.RtsControl;
    r.flow = state;
    r.framingFixed = framingFixed;
  }
  return 0;
}

// Makes the terminal raw and non-blocking with the settings of a freshly opened port.
bool PrepareTerminal(DeviceHandle handle) {
  termios t {};
  if (::tcgetattr(handle, &t) != 0) return false;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~HUPCL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return ::tcsetattr(handle, TCSANOW, &t) == 0;
}

DeviceHandle Open(const char* name) {
  const std::string path = name == nullptr ? std::string() : std::string(name);
  const DeviceHandle handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) {
    tLastError = SystemErrorNumber(errno);
    return -1;
  }
  auto fail = [&](int err, const std::string& lockFolder) {
    if (!lockFolder.empty()) ReleaseDeviceLock(lockFolder, path);
    ::close(handle);
    tLastError = SystemErrorNumber(err);
    return -1;
  };
  if (!::isatty(handle)) return fail(ENODEV, {});
  // Another program that keeps the convention holds a lock file; programs that open
  // the device exclusively make our open fail with EBUSY above.
  const std::string folder = LockDirectory();
  const LockResult lock = TakeDeviceLock(folder, path);
  if (lock == LockResult::HeldByOther) return fail(EBUSY, {});
  const std::string lockFolder = lock == LockResult::Locked ? folder : std::string();
  if (::ioctl(handle, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) return fail(errno, lockFolder);
  if (!PrepareTerminal(handle)) return fail(errno, lockFolder);
  try {
    std::lock_guard guard(RecordsMutex());
    HandleRecord& record = Records()[handle];
    record = HandleRecord{};
    record.path = path;
    record.lockFolder = lockFolder;
  } catch (const std::bad_alloc&) {
    if (!lockFolder.empty()) ReleaseDeviceLock(lockFolder, path);
    ::close(handle);
    return ecOutOfMemory;
  }
  SetModemLine(handle, TIOCM_DTR, true);
  SetModemLine(handle, TIOCM_RTS, true);
  return handle;
}

int Read(DeviceHandle handle, uint8_t* buffer, int count) {
  if (!HasRecord(handle)) return kNoRecord;
  if (count <= 0) return 0;
  const ssize_t n = ::read(handle, buffer, static_cast<size_t>(count));
  return n > 0 ? static_cast<int>(n) : 0;
}

int TransmitChar(DeviceHandle handle, uint8_t c) { return ::write(handle, &c, 1) == 1 ? 0 : -1; }

int PushBack(DeviceHandle, uint8_t) { return ecNotSupported; }

int Write(DeviceHandle handle, const uint8_t* buffer, int count) {
  DeviceOutput* output = OutputOf(handle);
  if (output == nullptr) return kNoRecord;
  output->QueueOutput(buffer, count);
  return count;
}

void EnableNotify(DeviceHandle, int, int) {}

void AdoptHandle(DeviceHandle handle, bool adopt) {
  if (adopt) {
    try {
      std::lock_guard lock(RecordsMutex());
      Records()[handle] = HandleRecord{};
    } catch (const std::bad_alloc&) {
    }
    return;
  }
  {
    std::lock_guard lock(RecordsMutex());
    Records().erase(handle);
  }
  ::close(handle);
}

bool SetupQueues(DeviceHandle handle, int, int) { return HasRecord(handle); }

constexpr TDeviceOps kTermiosOps = {BuildState, ClearBreak, Close,    Escape,       Flush,     GetError,   NoEventMask,
                                    GetState,   Open,       Read,     SetBreak,     NoEventMask, SetState, TransmitChar,
                                    PushBack,   Write,      EnableNotify, AdoptHandle, SetupQueues};

// ---- the placeholder layer ----

int NullBuild(const char*, TCommState&) { return ecNullApi; }
int NullHandle(DeviceHandle) { return ecNullApi; }
int NullHandleInt(DeviceHandle, int) { return ecNullApi; }
int NullStatus(DeviceHandle, TComStat&) { return ecNullApi; }
int NullState(DeviceHandle, TCommState&) { return ecNullApi; }
int NullSetState(DeviceHandle, const TCommState&) { return ecNullApi; }
DeviceHandle NullOpen(const char*) { return ecNullApi; }
int NullRead(DeviceHandle, uint8_t*, int) { return ecNullApi; }
int NullChar(DeviceHandle, uint8_t) { return ecNullApi; }
int NullWrite(DeviceHandle, const uint8_t*, int) { return ecNullApi; }
bool NullQueues(DeviceHandle, int, int) { return false; }

constexpr TDeviceOps kPlaceholderOps = {NullBuild,  NullHandle,   NullHandle,  NullHandleInt, NullHandleInt,
                                        NullStatus, NoEventMask,  NullState,   NullOpen,      NullRead,
                                        NullHandle, NoEventMask,  NullSetState, NullChar,     NullChar,
                                        NullWrite,  EnableNotify, [](DeviceHandle, bool) {}, NullQueues};

std::mutex gTableMutex;
TDeviceOps gTable = kTermiosOps;  // a table is always in force

}  // namespace

void InstallPlaceholderLayer() {
  std::lock_guard lock(gTableMutex);
  gTable = kPlaceholderOps;
}

void InstallTermiosLayer() {
  std::lock_guard lock(gTableMutex);
  gTable = kTermiosOps;
}

TDeviceOps CurrentDeviceOps() {
  std::lock_guard lock(gTableMutex);
  return gTable;
}

bool IsTermiosLayer(const TDeviceOps& ops) { return ops.DevOpen == kTermiosOps.DevOpen; }

int DeviceLastError() { return tLastError; }

bool AttachDeviceOutput(DeviceHandle handle, DeviceOutput* output) {
  std::lock_guard lock(RecordsMutex());
  auto it = Records().find(handle);
  if (it == Records().end()) return false;
  it->second.output = output;
  return true;
}

uint8_t ReadModemLines(DeviceHandle handle, bool* hasLines) {
  int bits = 0;
  if (::ioctl(handle, TIOCMGET, &bits) != 0) {
    if (hasLines != nullptr) *hasLines = false;
    return kLineCts | kLineDsr | kLineDcd;
  }
  if (hasLines != nullptr) *hasLines = true;
  uint8_t lines = 0;
  if (bits & TIOCM_CTS) lines |= kLineCts;
  if (bits & TIOCM_DSR) lines |= kLineDsr;
  if (bits & TIOCM_RI) lines |= kLineRing;
  if (bits & TIOCM_CD) lines |= kLineDcd;
  return lines;
}

bool ReadLineErrorCounts(DeviceHandle handle, LineErrorCounts& counts) {
  serial_icounter_struct ic {};
  if (::ioctl(handle, TIOCGICOUNT, &ic) != 0) return false;
  counts.overrun = static_cast<uint32_t>(ic.overrun);
  counts.parity = static_cast<uint32_t>(ic.parity);
  counts.frame = static_cast<uint32_t>(ic.frame);
  counts.brk = static_cast<uint32_t>(ic.brk);
  counts.bufferOverrun = static_cast<uint32_t>(ic.buf_overrun);
  return true;
}

void SetLockDirectory(const std::string& folder) {
  std::lock_guard lock(gLockFolderMutex);
  LockFolderSetting() = folder;
}

std::string LockDirectory() {
  {
    std::lock_guard lock(gLockFolderMutex);
    if (!LockFolderSetting().empty()) return LockFolderSetting();
  }
  if (const char* env = std::getenv("QL_LOCK_DIR"); env != nullptr && *env != '\0') return env;
  struct stat st {};
  if (::stat("/run/lock", &st) == 0 && S_ISDIR(st.st_mode)) return "/run/lock";
  return "/var/lock";
}

}  // namespace ql
