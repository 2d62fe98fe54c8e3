// Reading and writing data, user slots and the other small operations of a port.

#include <algorithm>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/port_record.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

int OutWaiting(const TPortRecord& p) { return p.outFull ? p.outSize : (p.outWrite - p.outRead + p.outSize) % p.outSize; }

int HeldForReader(const TPortRecord& p) { return std::max(0, p.RxHeld() - (p.Peeking() ? p.peekCount : 0)); }

}  // namespace

int WriteBlock(int port, const uint8_t* bytes, int count) {
  if (count == 0) return 0;
  if (count < 0 || bytes == nullptr) return ecBadArgument;
  return UnderLock(port, [&](TPortRecord& p) {
    if (p.device < 0) return ecPutBlockFail;
    p.CollectLineErrors();
    p.ops.DevGetError(p.device, p.status);
    if (count > p.outSize - OutWaiting(p)) return ecOutputBufferTooSmall;
    if (p.deviceLost) return ecPutBlockFail;
    const int written = p.ops.DevWrite(p.device, bytes, count);
    if (written <= 0) {
      p.ops.DevGetError(p.device, p.status);
      return ecPutBlockFail;
    }
    p.lastWriteCount = written;
    p.blockWritten = true;
    p.AddLog(kLogDispatch, kLogWriteCom, static_cast<uint16_t>(written), bytes, written);
    if (p.trace)
      for (int i = 0; i < written; ++i) p.trace->Add('T', bytes[i]);
    return 0;
  });
}

int WriteChar(int port, uint8_t c) { return WriteBlock(port, &c, 1); }

int WriteString(int port, std::string_view text) {
  return WriteBlock(port, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

int CharReady(int port) {
  return UnderLock(port, [](TPortRecord& p) { return HeldForReader(p) > 0 ? 1 : 0; });
}

int ReadChar(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (HeldForReader(p) == 0) return ecBufferIsEmpty;
    uint8_t byte;
    if (p.Peeking()) {
      byte = p.rx[(p.rxRead + p.peekCount) % kReceiveBufferSize];
      ++p.peekCount;
    } else {
      byte = p.rx[p.rxRead];
      p.rxRead = (p.rxRead + 1) % kReceiveBufferSize;
      p.rxFull = false;
    }
    if (p.trace) p.trace->Add('R', byte);
    return static_cast<int>(byte);
  });
}

int InUsed(int port) {
  return UnderLock(port, [](TPortRecord& p) { return HeldForReader(p); });
}

int OutUsed(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.device >= 0) p.ops.DevGetError(p.device, p.status);
    return OutWaiting(p);
  });
}

int OutFree(int port) {
  return UnderLock(port, [](TPortRecord& p) { return p.outSize - OutWaiting(p); });
}

int FlushInput(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.device >= 0) p.ops.DevFlush(p.device, 1);
    if (p.Peeking()) p.peekCount = p.RxHeld();
    else p.rxRead = p.rxWrite;
    p.rxFull = false;
    return 0;
  });
}

int FlushOutput(int port) {
  PortPtr p = FindPort(port);
  if (!p) return ecBadHandle;
  DeviceHandle device;
  {
    std::lock_guard lock(p->lock);
    device = p->device;
  }
  // Not under the lock: the output thread needs it to let go of the ring.
  if (device >= 0) p->ops.DevFlush(device, 0);
  return 0;
}

int SetUserSlot(int port, int slot, void* value) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (slot < 1 || slot > kUserSlots) return ecBadArgument;
    p.userSlots[slot - 1] = value;
    return 0;
  });
}

int GetUserSlot(int port, int slot, void*& value) {
  value = nullptr;
  return UnderLock(port, [&](TPortRecord& p) {
    if (slot < 1 || slot > kUserSlots) return ecBadArgument;
    value = p.userSlots[slot - 1];
    return 0;
  });
}

int SetProtocolActive(int port, int32_t value) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.protocolActive = value;
    return 0;
  });
}

int ProtocolActive(int port) {
  return UnderLock(port, [](TPortRecord& p) { return static_cast<int>(p.protocolActive); });
}

int SuspendNotify(int port, bool on) {
  return UnderLock(port, [&](TPortRecord& p) {
    const bool previous = p.suspended;
    p.suspended = on;
    return previous ? 1 : 0;
  });
}

int ProcessComm(int port) {
  return UnderLock(port, [](TPortRecord&) { return 0; });
}

int SetPortFlags(int port, uint32_t flags) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.flags = flags;
    return 0;
  });
}

int PortFlags(int port) {
  return UnderLock(port, [](TPortRecord& p) { return static_cast<int>(p.flags); });
}

int DeviceLost(int port) {
  return UnderLock(port, [](TPortRecord& p) { return p.deviceLost ? 1 : 0; });
}

int PortDeviceHandle(int port) {
  return UnderLock(port, [](TPortRecord& p) { return p.device; });
}

// ---- trace and dispatch log ----

namespace {

// The trace and the log are driven alike; these serve both through the record member.
template <typename Buffer>
using RecordMember = std::unique_ptr<Buffer> TPortRecord::*;

template <typename Buffer>
int RecordStart(int port, RecordMember<Buffer> member, int size, int maxSize) {
  return UnderLock(port, [&](TPortRecord& p) {
    auto& record = p.*member;
    if (record) {
      record->Clear();
    } else {
      if (size > maxSize || size < 0) return ecBadArgument;
      try {
        record = std::make_unique<Buffer>(size);
      } catch (const std::bad_alloc&) {
        return ecOutOfMemory;
      }
    }
    record->capture = true;
    return 0;
  });
}

template <typename Buffer, typename Op>
int RecordDo(int port, RecordMember<Buffer> member, Op op) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (p.*member) op(p.*member);
    return 0;
  });
}

template <typename Buffer>
int RecordCapture(int port, RecordMember<Buffer> member, bool on) {
  return RecordDo(port, member, [on](std::unique_ptr<Buffer>& r) { r->capture = on; });
}

template <typename Buffer>
int RecordClear(int port, RecordMember<Buffer> member) {
  return RecordDo(port, member, [](std::unique_ptr<Buffer>& r) { r->Clear(); });
}

template <typename Buffer>
int RecordStop(int port, RecordMember<Buffer> member) {
  return RecordDo(port, member, [](std::unique_ptr<Buffer>& r) { r.reset(); });
}

// Writes the record to its file and frees it. An empty record leaves the file alone. A
// log whose file cannot be written keeps its contents for another try.
template <typename Buffer>
int RecordDump(int port, RecordMember<Buffer> member, const std::string& fileName, bool append, bool hex,
               bool keepOnError) {
  return UnderLock(port, [&](TPortRecord& p) {
    auto& record = p.*member;
    if (!record) return 0;
    record->capture = false;
    int result = 0;
    if (!record->Empty()) result = WriteDumpFile(fileName, record->Render(hex), append);
    if (result < 0 && keepOnError) return result;
    record.reset();
    return result;
  });
}

constexpr RecordMember<TTraceBuffer> kTrace = &TPortRecord::trace;
constexpr RecordMember<TLogBuffer> kLog = &TPortRecord::log;

}  // namespace

int TraceStart(int port, int entries) { return RecordStart(port, kTrace, entries, kMaxTraceEntries); }
int TracePause(int port) { return RecordCapture(port, kTrace, false); }
int TraceResume(int port) { return RecordCapture(port, kTrace, true); }
int TraceClear(int port) { return RecordClear(port, kTrace); }
int TraceStop(int port) { return RecordStop(port, kTrace); }
int TraceDump(int port, const std::string& fileName, bool append, bool hex) {
  return RecordDump(port, kTrace, fileName, append, hex, false);
}

int LogStart(int port, int bytes) { return RecordStart(port, kLog, bytes, kMaxLogBytes); }
int LogPause(int port) { return RecordCapture(port, kLog, false); }
int LogResume(int port) { return RecordCapture(port, kLog, true); }
int LogClear(int port) { return RecordClear(port, kLog); }
int LogStop(int port) { return RecordStop(port, kLog); }
int LogDump(int port, const std::string& fileName, bool append, bool hex) {
  return RecordDump(port, kLog, fileName, append, hex, true);
}

}  // namespace ql
