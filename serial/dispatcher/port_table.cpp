// The port table, opening and closing ports, and the record's own helpers.

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/port_record.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

// The port table outlives static destruction on purpose: a dispatch thread finishing a
// close that was pending when the program ended may still use it.
struct PortTable {
  std::mutex mutex;
  std::array<PortPtr, kMaxPorts + 1> ports;  // index = port handle
};
PortTable& Table() {
  static PortTable* table = new PortTable;
  return *table;
}

constexpr int kThreadStartWaitMs = 3000;

int TakeFreeHandle(const PortPtr& record) {
  std::lock_guard lock(Table().mutex);
  for (int h = 1; h <= kMaxPorts; ++h)
    if (!Table().ports[h]) {
      Table().ports[h] = record;
      return h;
    }
  return 0;
}

void FreeHandle(int handle) {
  std::lock_guard lock(Table().mutex);
  if (handle >= 1 && handle <= kMaxPorts) Table().ports[handle].reset();
}

void ReleaseDevice(TPortRecord& p) {
  std::lock_guard lock(p.lock);
  if (p.device < 0) return;
  AttachDeviceOutput(p.device, nullptr);
  if (p.adopted) p.ops.DevAdoptHandle(p.device, false);
  else p.ops.DevClose(p.device);
  p.device = -1;
}

bool StartThread(TPortRecord& p, std::thread& slot, void (*body)(PortPtr), const PortPtr& self) {
  slot = std::thread(body, self);
  return p.acknowledge.Wait(kThreadStartWaitMs);
}

// Undoes a half-made open and gives the code back.
int AbandonOpen(const PortPtr& p, int code) {
  StopPortThreads(*p);
  ReleaseDevice(*p);
  FreeHandle(p->handle);
  return code;
}

int OpenCommon(int& portHandle, DeviceHandle adoptedDevice, const std::string& deviceName, int inSize, int outSize,
               int dataBits, int stopBits, int parity, int32_t baud) {
  portHandle = 0;
  PortPtr p;
  try {
    p = std::make_shared<TPortRecord>();
    p->outRing.resize(static_cast<std::size_t>(std::clamp(outSize, 1, 0xFFFF)));
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
  const int handle = TakeFreeHandle(p);
  if (handle == 0) return ecNoHandles;
  p->handle = handle;
  if (!p->commEvent.Valid() || !p->dispatchDone.Valid() || !p->acknowledge.Valid() || !p->outputReady.Valid() ||
      !p->flushRequest.Valid() || !p->flushAck.Valid() || !p->stopEvent.Valid())
    return AbandonOpen(p, ecOutOfMemory);
  p->ops = CurrentDeviceOps();
  std::strncpy(p->deviceName, deviceName.c_str(), 6);
  p->inSize = inSize;
  p->outSize = static_cast<int>(p->outRing.size());

  if (adoptedDevice >= 0) {
    p->adopted = true;
    p->ops.DevAdoptHandle(adoptedDevice, true);
    p->device = adoptedDevice;
  } else {
    const DeviceHandle device = p->ops.DevOpen(deviceName.c_str());
    if (device < 0) {
      const int code = device == ecOutOfMemory ? ecOutOfMemory : device == -1 ? -DeviceLastError() : device;
      return AbandonOpen(p, code);
    }
    p->device = device;
  }
  if (!p->ops.DevSetupQueues(p->device, inSize, outSize)) return AbandonOpen(p, ecNullApi);
  AttachDeviceOutput(p->device, p.get());

  {
    std::lock_guard lock(p->lock);
    p->dtr = p->rts = true;
    p->triggers = TTriggerArea{};
    p->flags = kReadsConsumeDuringNotify;
    bool hasLines = false;
    p->modemShadow = ReadModemLines(p->device, &hasLines) & 0xF0;
    p->hasModemLines = hasLines;
  }
  if (!p->adopted) {
    if (const int r = SetLine(handle, baud, parity, dataBits, stopBits); r < 0) return AbandonOpen(p, r);
  }
  {
    std::lock_guard lock(p->lock);
    p->ops.DevGetError(p->device, p->status);
    p->CollectLineErrors();
    p->trace.reset();
    p->log.reset();
    p->openTime = MillisecondClock();
  }
  if (!StartThread(*p, p->commThread, CommEventThread, p) || !StartThread(*p, p->dispatchThread, DispatchThread, p) ||
      !StartThread(*p, p->outputThread, OutputThread, p))
    return AbandonOpen(p, ecInternal);
  p->threaded = true;
  portHandle = handle;
  return 0;
}

}  // namespace

PortPtr FindPort(int port) {
  std::lock_guard lock(Table().mutex);
  if (port < 1 || port > kMaxPorts) return nullptr;
  return Table().ports[port];
}

int OpenPort(int& portHandle, const std::string& deviceName, int inSize, int outSize, int dataBits, int stopBits,
             int parity, int32_t baud) {
  return OpenCommon(portHandle, -1, deviceName, inSize, outSize, dataBits, stopBits, parity, baud);
}

int OpenPortWithHandle(int& portHandle, DeviceHandle device, const std::string& deviceName, int inSize, int outSize,
                       int dataBits, int stopBits, int parity, int32_t baud) {
  if (device < 0) return ecBadArgument;
  return OpenCommon(portHandle, device, deviceName, inSize, outSize, dataBits, stopBits, parity, baud);
}

int ClosePort(int handle) {
  PortPtr p = FindPort(handle);
  if (!p) return ecBadHandle;
  {
    std::lock_guard lock(p->lock);
    if (p->closePending || p->terminate) return 0;
  }
  DeviceHandle device;
  {
    std::lock_guard lock(p->lock);
    device = p->device;
  }
  if (device >= 0) p->ops.DevFlush(device, 0);
  {
    std::lock_guard lock(p->lock);
    if (p->notifying || p->walking || std::this_thread::get_id() == p->dispatchThreadId) {
      // The dispatch thread finishes the close once the notification returns. The device
      // stays open until then, so no thread ever polls a closed descriptor.
      p->closePending = true;
      return 0;
    }
    p->terminate = true;
  }
  FinishClose(p);
  return 0;
}

void StopPortThreads(TPortRecord& p) {
  p.terminate = true;
  p.outputReady.Set();
  if (p.outputThread.joinable()) p.outputThread.join();
  p.stopEvent.Set();
  p.dispatchDone.Set();
  if (p.commThread.joinable()) p.commThread.join();
  p.commEvent.Set();
  if (p.dispatchThread.joinable()) {
    if (std::this_thread::get_id() == p.dispatchThread.get_id()) p.dispatchThread.detach();
    else p.dispatchThread.join();
  }
  p.threaded = false;
}

void FinishClose(const PortPtr& p) {
  StopPortThreads(*p);
  ReleaseDevice(*p);
  {
    std::lock_guard lock(p->lock);
    p->handlers.Clear();
    p->trace.reset();
    p->log.reset();
  }
  FreeHandle(p->handle);
}

// ---- the record's helpers ----

int TPortRecord::RxHeld() const {
  if (rxWrite == rxRead) return rxFull ? kReceiveBufferSize : 0;
  return (rxWrite - rxRead + kReceiveBufferSize) % kReceiveBufferSize;
}

int TPortRecord::OutputWaiting() {
  std::lock_guard guard(lock);
  if (outFull) return outSize;
  return (outWrite - outRead + outSize) % outSize;
}

void TPortRecord::QueueOutput(const uint8_t* bytes, int count) {
  {
    std::lock_guard guard(lock);
    const int first = std::min(count, outSize - outWrite);
    std::memcpy(outRing.data() + outWrite, bytes, static_cast<std::size_t>(first));
    std::memcpy(outRing.data(), bytes + first, static_cast<std::size_t>(count - first));
    outWrite = (outWrite + count) % outSize;
    if (count > 0 && outWrite == outRead) outFull = true;
  }
  outputReady.Set();
}

void TPortRecord::DiscardOutput() {
  if (outputThreadRunning && std::this_thread::get_id() != outputThread.get_id()) {
    flushRequest.Set();
    // The output thread answers between writes; it only stops answering when it ends.
    while (outputThreadRunning && !flushAck.Wait(50)) {
    }
  }
  std::lock_guard guard(lock);
  outRead = outWrite = 0;
  outFull = false;
  ++outDiscards;
}

void TPortRecord::AddLog(uint8_t type, uint8_t subtype, uint16_t data, const uint8_t* bytes, int length) {
  if (!log) return;
  log->Add(type, subtype, static_cast<uint32_t>((MillisecondClock() - openTime) & 0x7FFFFFFF), data, bytes, length);
}

void TPortRecord::RefreshModemShadow() {
  const uint8_t lines = deviceLost || device < 0 ? 0 : ReadModemLines(device) & 0xF0;
  const uint8_t changed = static_cast<uint8_t>(((modemShadow ^ lines) & (kLineCts | kLineDsr | kLineDcd)) >> 4);
  modemShadow = static_cast<uint8_t>(lines | (modemShadow & 0x0F) | changed);
  if (ringTrailingEdge.exchange(false)) modemShadow |= 0x04;
}

void TPortRecord::CollectLineErrors() { lineErrors |= pendingLineErrors.exchange(0) & 0x1F; }

int TPortRecord::WriteCommState(TCommState s) {
  // A dropped line stays dropped whatever the settings say.
  if (!dtr) s.DtrControl = kLineControlDisable;
  if (!rts) s.RtsControl = kLineControlDisable;
  if (device < 0 || ops.DevSetState(device, s) != 0) return ecNotSupported;
  state = s;
  return 0;
}

}  // namespace ql
