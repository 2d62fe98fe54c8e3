#pragma once
// The record of one open port, shared by the dispatcher's files. Not for callers: they
// use the port handle and the operations of dispatcher.h.

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/device/device_layer.h"
#include "serial/dispatcher/sync_event.h"
#include "serial/tracing/trace_log.h"
#include "serial/triggers/handler_list.h"
#include "serial/triggers/trigger_tables.h"

namespace ql {

struct TPortRecord final : DeviceOutput {
  TDeviceOps ops{};
  int handle = 0;
  char deviceName[7] = {};
  DeviceHandle device = -1;
  int32_t lastWriteCount = 0;
  uint32_t lineErrors = 0;
  uint32_t eventMask = kPortEventMask;
  int inSize = 0;
  int outSize = 0;
  uint8_t modemShadow = 0;
  TComStat status;
  TCommState state;
  bool dtr = true;
  bool rts = true;
  uint32_t flags = 0;
  bool adopted = false;
  bool hasModemLines = false;

  THandlerList handlers;
  TTriggerArea triggers;
  void* userSlots[10] = {};
  int32_t protocolActive = 0;

  std::recursive_mutex lock;

  // Threads and their events.
  std::atomic<bool> terminate{false};
  bool threaded = false;
  std::thread commThread, dispatchThread, outputThread;
  std::thread::id dispatchThreadId;
  SyncEvent commEvent{true};      // the comm-event thread has an event for the dispatch thread
  SyncEvent dispatchDone{true};   // the dispatch thread is done with it
  SyncEvent acknowledge{true};    // a new thread runs
  SyncEvent outputReady{true};    // the output ring has new data
  SyncEvent flushRequest{true};   // a caller wants the output thread to let go of the ring
  SyncEvent flushAck{true};       // the output thread has let go
  SyncEvent stopEvent{false};     // wakes the comm-event thread's poll to end it
  std::atomic<bool> outputThreadRunning{false};
  std::atomic<uint32_t> lastEventMask{0};
  std::atomic<bool> ringTrailingEdge{false};
  std::atomic<uint32_t> pendingLineErrors{0};
  std::atomic<bool> deviceLost{false};
  std::atomic<bool> rxBacklog{false};  // the device holds data the full buffer could not take

  // Output ring.
  std::vector<uint8_t> outRing;
  int outWrite = 0;
  int outRead = 0;
  bool outFull = false;
  uint32_t outDiscards = 0;  // counts discards, so a write in flight cannot move stale positions

  // Receive buffer.
  uint8_t rx[8192] = {};
  int rxWrite = 0;
  int rxRead = 0;
  bool rxFull = false;
  bool rxOverflow = false;
  uint64_t rxTotal = 0;          // bytes ever received
  uint64_t rxNotifiedTotal = 0;  // rxTotal at the last data-available notification
  // rxNotifiedTotal when the bytes held are to be announced again at the next check: a
  // window missed their notification, or it was held back while notifications were
  // suspended.
  static constexpr uint64_t kAnnounceAgain = ~uint64_t{0};

  // Notification state.
  bool notifying = false;  // a notification is under way
  bool walking = false;
  // SuspendNotify holds notifications. Kept apart from notifying: a walk that ends must
  // not lift a suspension asked for while it ran.
  bool suspended = false;
  bool closePending = false;
  bool blockWritten = false;
  bool peekMode = false;
  int peekCount = 0;
  int largestPeek = 0;
  bool handleReused[kLastTriggerHandle + 1] = {};
  bool statusFired[kTriggerSlots] = {};

  std::unique_ptr<TTraceBuffer> trace;
  std::unique_ptr<TLogBuffer> log;
  int32_t openTime = 0;

  ~TPortRecord() override = default;

  // DeviceOutput: the device layer's write and output flush land here.
  void QueueOutput(const uint8_t* bytes, int count) override;
  void DiscardOutput() override;
  int OutputWaiting() override;

  // Helpers used under the lock.
  int RxHeld() const;
  bool Peeking() const { return peekMode && (flags & 2u) == 0; }
  void AddLog(uint8_t type, uint8_t subtype, uint16_t data, const uint8_t* bytes = nullptr, int length = 0);
  // Reads the modem lines into the shadow, ORing changed lines into the change bits.
  void RefreshModemShadow();
  // ORs line errors reported by the comm-event thread into the line-error word.
  void CollectLineErrors();
  int WriteCommState(TCommState s);
};

using PortPtr = std::shared_ptr<TPortRecord>;

// The record of a port handle, or null.
PortPtr FindPort(int port);

// Runs op on the port's record under its lock; -1001 for an invalid handle.
template <typename Op>
int UnderLock(int port, Op op) {
  PortPtr p = FindPort(port);
  if (!p) return -1001;
  std::lock_guard lock(p->lock);
  return op(*p);
}

// Thread bodies (port_threads.cpp).
void CommEventThread(PortPtr port);
void DispatchThread(PortPtr port);
void OutputThread(PortPtr port);
// Stops the threads; from the dispatch thread itself that thread is left to end alone.
void StopPortThreads(TPortRecord& port);
// Finishes a close: threads stopped, device released, handlers freed, handle freed.
void FinishClose(const PortPtr& port);

// Trigger checks and notification (notify.cpp), run on the dispatch thread.
bool CheckAvailTrigger(TPortRecord& port);
bool CheckTimerTriggers(TPortRecord& port);
bool CheckStatusTriggers(TPortRecord& port);
bool NotifyHandlers(TPortRecord& port, uint32_t msg, uint16_t wParam, uint16_t lParamLow);

}  // namespace ql
