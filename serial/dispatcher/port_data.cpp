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
    const bool previous = p.notifying;
    p.notifying = on;
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

int TraceStart(int port, int entries) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (p.trace) {
      p.trace->Clear();
    } else {
      if (entries > kMaxTraceEntries || entries < 0) return ecBadArgument;
      try {
        p.trace = std::make_unique<TTraceBuffer>(entries);
      } catch (const std::bad_alloc&) {
        return ecOutOfMemory;
      }
    }
    p.trace->capture = true;
    return 0;
  });
}

int TracePause(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.trace) p.trace->capture = false;
    return 0;
  });
}

int TraceResume(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.trace) p.trace->capture = true;
    return 0;
  });
}

int TraceClear(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.trace) p.trace->Clear();
    return 0;
  });
}

int TraceStop(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    p.trace.reset();
    return 0;
  });
}

int TraceDump(int port, const std::string& fileName, bool append, bool hex) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (!p.trace) return 0;
    p.trace->capture = false;
    int result = 0;
    if (!p.trace->Empty()) result = WriteDumpFile(fileName, p.trace->Render(hex), append);
    p.trace.reset();
    return result;
  });
}

int LogStart(int port, int bytes) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (p.log) {
      p.log->Clear();
    } else {
      if (bytes > kMaxLogBytes || bytes < 0) return ecBadArgument;
      try {
        p.log = std::make_unique<TLogBuffer>(bytes);
      } catch (const std::bad_alloc&) {
        return ecOutOfMemory;
      }
    }
    p.log->capture = true;
    return 0;
  });
}

int LogPause(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.log) p.log->capture = false;
    return 0;
  });
}

int LogResume(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.log) p.log->capture = true;
    return 0;
  });
}

int LogClear(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    if (p.log) p.log->Clear();
    return 0;
  });
}

int LogStop(int port) {
  return UnderLock(port, [](TPortRecord& p) {
    p.log.reset();
    return 0;
  });
}

int LogDump(int port, const std::string& fileName, bool append, bool hex) {
  return UnderLock(port, [&](TPortRecord& p) {
    if (!p.log || p.log->Empty()) {
      p.log.reset();
      return 0;
    }
    p.log->capture = false;
    const int result = WriteDumpFile(fileName, p.log->Render(hex), append);
    if (result < 0) return result;  // the contents stay for another try
    p.log.reset();
    return 0;
  });
}

}  // namespace ql
