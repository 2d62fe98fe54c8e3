// Triggers of a port and the notification of its handlers.

#include <algorithm>

#include "platform/clock.h"
#include "platform/message_windows/message_window.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/port_record.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr int kWindowSendTimeoutMs = 1000;

// Returns false when a window did not answer in time (it is skipped for this event).
bool Deliver(const THandlerNode& node, int port, uint32_t msg, uint16_t wParam, intptr_t lParam) {
  if (node.kind == kWindowHandler) return SendMessageTimeout(node.window, msg, wParam, lParam, kWindowSendTimeoutMs);
  try {
    node.proc(0, msg | (static_cast<uint32_t>(port) << 16), wParam, lParam);
  } catch (...) {
    // A handler's failure never reaches the dispatch thread.
  }
  return true;
}

}  // namespace

bool NotifyHandlers(TPortRecord& p, uint32_t msg, uint16_t wParam, uint16_t lParamLow) {
  const bool avail = msg == kMsgTriggerAvail;
  THandlerNode* node;
  {
    std::lock_guard lock(p.lock);
    if (p.terminate || p.closePending) return false;
    if (avail && p.suspended) {
      // Suspended between the check and now: the bytes stay for the reader that holds
      // notifications, and are announced once it lets them go.
      p.rxNotifiedTotal = TPortRecord::kAnnounceAgain;
      return false;
    }
    p.notifying = true;
    p.walking = true;
    if (avail) p.peekMode = true;
    p.largestPeek = 0;
    std::fill(std::begin(p.handleReused), std::end(p.handleReused), false);
    node = p.handlers.Head();
  }
  const intptr_t lParam = static_cast<intptr_t>((static_cast<uint32_t>(p.handle) << 16) | lParamLow);
  bool result = true;
  bool missed = false;  // a window did not answer
  for (; node != nullptr; node = node->next) {
    if (node->detached) continue;
    {
      std::lock_guard lock(p.lock);
      p.peekCount = 0;
    }
    if (!Deliver(*node, p.handle, msg, wParam, lParam)) missed = true;
    std::lock_guard lock(p.lock);
    p.largestPeek = std::max(p.largestPeek, p.peekCount);
    if (p.closePending) {
      p.walking = false;
      return false;
    }
    if (!node->passOn) break;
    if (!avail && wParam <= kLastTriggerHandle && p.handleReused[wParam]) break;
  }
  std::lock_guard lock(p.lock);
  if (p.handlers.Dirty()) p.handlers.UnlinkDetached();
  if (p.peekMode) {
    p.rxRead = (p.rxRead + p.largestPeek) % kReceiveBufferSize;
    if (p.largestPeek != 0) p.rxFull = false;
    if (avail && p.largestPeek != wParam) result = false;
    // A window that missed the event may be the one waiting for these bytes: they are
    // announced again rather than only when more data comes.
    if (avail && missed && p.RxHeld() > 0) p.rxNotifiedTotal = TPortRecord::kAnnounceAgain;
  }
  p.peekMode = false;
  p.notifying = false;
  p.walking = false;
  p.peekCount = 0;
  return result;
}

bool CheckAvailTrigger(TPortRecord& p) {
  uint16_t count;
  {
    std::lock_guard lock(p.lock);
    const int held = p.RxHeld();
    // Counting every byte ever received tells new data from old even when the write
    // position has come round to where it was at the last notification.
    if (p.triggers.availThreshold == 0 || p.rxTotal == p.rxNotifiedTotal || held < p.triggers.availThreshold)
      return false;
    count = static_cast<uint16_t>(held);
    p.AddLog(kLogTrigger, kLogAvail, count);
    p.rxNotifiedTotal = p.rxTotal;
  }
  return NotifyHandlers(p, kMsgTriggerAvail, count, 0);
}

bool CheckTimerTriggers(TPortRecord& p) {
  int handle;
  {
    std::lock_guard lock(p.lock);
    handle = trigger_table::TakeExpiredTimer(p.triggers, TickNow());
    if (handle == 0) return false;
    p.AddLog(kLogTrigger, kLogTimer, static_cast<uint16_t>(handle));
  }
  return NotifyHandlers(p, kMsgTriggerTimer, static_cast<uint16_t>(handle), 0);
}

bool CheckStatusTriggers(TPortRecord& p) {
  trigger_table::TStatusFired fired;
  {
    std::lock_guard lock(p.lock);
    trigger_table::TStatusInputs in;
    in.modemShadow = p.modemShadow;
    in.lineErrors = p.lineErrors;
    in.outUsed = p.outFull ? p.outSize : (p.outWrite - p.outRead + p.outSize) % p.outSize;
    in.outFree = p.outSize - in.outUsed;
    in.blockWritten = p.blockWritten;
    fired = trigger_table::TakeFiredStatus(p.triggers, in, p.statusFired);
    if (fired.handle == 0) return false;
    if (fired.kind == kStatusOutSent) p.blockWritten = false;
    p.AddLog(kLogTrigger, kLogStatus, static_cast<uint16_t>(fired.handle));
  }
  return NotifyHandlers(p, kMsgTriggerStatus, static_cast<uint16_t>(fired.handle), fired.count);
}

// ---- operations ----

namespace {

// A trigger made while a notification runs may reuse the handle being notified.
int MarkNew(TPortRecord& p, int handle) {
  if (handle > 0 && p.walking) p.handleReused[handle] = true;
  return handle;
}

}  // namespace

int SetAvailThreshold(int port, int count) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.triggers.availThreshold = static_cast<uint16_t>(std::clamp(count, 0, 0xFFFF));
    return 0;
  });
}

int NewTimerTrigger(int port) {
  return UnderLock(port, [&](TPortRecord& p) { return MarkNew(p, trigger_table::NewTimerTrigger(p.triggers)); });
}

int NewStatusTrigger(int port, int kind) {
  return UnderLock(port, [&](TPortRecord& p) { return MarkNew(p, trigger_table::NewStatusTrigger(p.triggers, kind)); });
}

int ArmTimerTrigger(int port, int trigger, int32_t ticks, bool activate) {
  return UnderLock(port, [&](TPortRecord& p) {
    return trigger_table::ArmTimerTrigger(p.triggers, trigger, ticks, activate, TickNow());
  });
}

int ArmStatusTrigger(int port, int trigger, int value, bool activate) {
  return UnderLock(port, [&](TPortRecord& p) {
    return trigger_table::ArmStatusTrigger(p.triggers, trigger, static_cast<uint16_t>(value), activate, p.modemShadow);
  });
}

int DropTrigger(int port, int trigger) {
  return UnderLock(port, [&](TPortRecord& p) { return trigger_table::DropTrigger(p.triggers, trigger); });
}

int StatusTriggerKind(int port, int trigger) {
  return UnderLock(port, [&](TPortRecord& p) { return trigger_table::StatusTriggerKind(p.triggers, trigger); });
}

int AttachHandler(int port, int window, TNotifyProc proc, bool passOn) {
  if (window == 0 && proc == nullptr) return ecBadArgument;
  return UnderLock(port, [&](TPortRecord& p) { return p.handlers.Attach(window, proc, passOn) ? 0 : ecOutOfMemory; });
}

int DetachHandler(int port, int window, TNotifyProc proc) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.handlers.Detach(window, proc);
    // Outside a walk nothing can be standing on the node: free it now.
    if (!p.walking && p.handlers.Dirty()) p.handlers.UnlinkDetached();
    return 0;
  });
}

int SaveTriggers(int port, TTriggerArea& area) {
  return UnderLock(port, [&](TPortRecord& p) {
    area = p.triggers;
    return 0;
  });
}

int RestoreTriggers(int port, const TTriggerArea& area) {
  return UnderLock(port, [&](TPortRecord& p) {
    p.triggers = area;
    return 0;
  });
}

}  // namespace ql
