#include "fax_engine/session/session_run.h"

#include <chrono>
#include <set>
#include <thread>

#include "fax_engine/session/notifications.h"
#include "platform/message_windows/message_window.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}
std::set<const FaxSession*>& LiveSessions() {
  static std::set<const FaxSession*> sessions;
  return sessions;
}

// The session whose entry runs on this thread, if any.
thread_local FaxSession* t_running = nullptr;

int PortOf(intptr_t lParam) { return static_cast<int>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF); }

// Waits for a condition, letting the thread's window messages run meanwhile (a machine
// on another thread may be waiting for this thread to answer a notification).
template <typename Done>
void WaitLettingMessagesRun(Done done) {
  while (!done()) {
    DispatchPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Counts an entry of a live session while it lasts.
class EntryTicket {
 public:
  explicit EntryTicket(FaxSession* s) {
    std::lock_guard guard(RegistryLock());
    if (s != nullptr && LiveSessions().count(s) != 0) {
      session_ = s;
      ++s->entriesInFlight;
    }
  }
  ~EntryTicket() {
    if (session_ != nullptr) --session_->entriesInFlight;
  }
  EntryTicket(const EntryTicket&) = delete;
  EntryTicket& operator=(const EntryTicket&) = delete;
  FaxSession* Session() const { return session_; }

 private:
  FaxSession* session_ = nullptr;
};

}  // namespace

void RegisterSession(FaxSession& s) {
  std::lock_guard guard(RegistryLock());
  LiveSessions().insert(&s);
}

void UnregisterSession(FaxSession& s) {
  {
    std::lock_guard guard(RegistryLock());
    LiveSessions().erase(&s);
  }
  WaitLettingMessagesRun([&] { return s.entriesInFlight.load() == 0; });
}

EventKind ClassifyEvent(const FaxSession& s, uint32_t msg, uintptr_t wParam) {
  const int handle = static_cast<int>(wParam & 0xFFFF);
  switch (msg & 0xFFFF) {
    case 0: return EventKind::kStart;
    case FaxMsgAbort: return EventKind::kAbort;
    case kMsgTriggerAvail: return EventKind::kData;
    case kMsgTriggerTimer:
      if (handle == s.common.timeoutTimer) return EventKind::kTimeout;
      if (handle == s.common.statusTimer) return EventKind::kStatusTimer;
      return EventKind::kIgnored;
    case kMsgTriggerStatus:
      if (handle == s.common.outFreeTrigger) return EventKind::kRoom;
      if (handle == s.common.drainedTrigger) return EventKind::kDrained;
      return EventKind::kIgnored;
    default: return EventKind::kIgnored;
  }
}

void ArmStatusTimer(FaxSession& s) {
  if (s.common.statusTimer > 0)
    ArmTimerTrigger(s.common.portHandle, s.common.statusTimer, SecondsToTicks(s.common.StatusInterval), true);
}

bool PeriodicStatus(FaxSession& s, EventKind event) {
  if (event != EventKind::kStatusTimer && !s.modem.forceStatus) return false;
  s.modem.forceStatus = false;
  SendStatus(s, false, false);
  ArmStatusTimer(s);
  return event == EventKind::kStatusTimer;
}

void EnterMachine(intptr_t lParam, uint32_t msg, uintptr_t wParam, MachineBody body) {
  const int port = PortOf(lParam);
  void* slot = nullptr;
  if (GetUserSlot(port, kSessionUserSlot, slot) < 0) return;
  EntryTicket ticket(static_cast<FaxSession*>(slot));
  FaxSession* s = ticket.Session();
  if (s == nullptr) return;
  const bool abort = (msg & 0xFFFF) == FaxMsgAbort;
  if (t_running == s) {
    // A handler of this session's own notification cancels: the entry under way takes
    // it up when its step ends.
    if (abort) s->abortPending = true;
    return;
  }
  std::unique_lock lock(s->entryLock, std::defer_lock);
  if (abort) {
    s->abortPending = true;
    WaitLettingMessagesRun([&] { return lock.try_lock(); });
    // The entry that ran meanwhile may have taken the cancel up already.
    if (!TakePendingAbort(*s)) return;
  } else {
    lock.lock();
  }
  // The trigger handles are read under the lock: the entry that ends a run drops them.
  const EventKind event = abort ? EventKind::kAbort : ClassifyEvent(*s, msg, wParam);
  if (event == EventKind::kIgnored) return;
  FaxSession* outer = t_running;
  t_running = s;
  body(*s, event);
  t_running = outer;
}

bool TakePendingAbort(FaxSession& s) { return s.abortPending.exchange(false); }

void CancelSession(FaxSession& s) {
  if (s.machine == nullptr || s.common.portHandle == 0) return;
  s.machine(0, FaxMsgAbort, 0, static_cast<intptr_t>(static_cast<uintptr_t>(s.common.portHandle) << 16));
}

void StartSession(FaxSession& s) {
  // The entry that finished the last run may still be ending on the dispatch thread (the
  // finish message was posted from inside it): the new run waits for it.
  std::unique_lock lock(s.entryLock, std::defer_lock);
  WaitLettingMessagesRun([&] { return lock.try_lock(); });
  const int port = s.common.portHandle;
  s.log.Open(std::string(s.common.IsSender ? "send" : "receive") + " session on port " + std::to_string(port));
  TTriggerArea area;
  if (SaveTriggers(port, area) == 0) s.common.savedAvailThreshold = area.availThreshold;
  FaxCommon& c = s.common;
  c.availTrigger = SetAvailThreshold(port, 1) < 0 ? -1 : kAvailTriggerHandle;
  c.timeoutTimer = NewTimerTrigger(port);
  c.statusTimer = NewTimerTrigger(port);
  c.outFreeTrigger = NewStatusTrigger(port, kStatusOutFree);
  c.drainedTrigger = NewStatusTrigger(port, kStatusOutUsed);
  c.modemStatusTrigger = NewStatusTrigger(port, kStatusModem);
  for (int handle : {c.availTrigger, c.timeoutTimer, c.statusTimer, c.outFreeTrigger, c.drainedTrigger,
                     c.modemStatusTrigger}) {
    if (handle < 0) {
      ReportError(s, ecNoMoreTriggers);
      FinishSession(s);
      return;
    }
  }
  SetUserSlot(port, kSessionUserSlot, &s);
  SetProtocolActive(port, 1);

  if (s.prepare != nullptr) {
    // A cancel from a handler while the modem is prepared waits for the first run.
    t_running = &s;
    s.prepare(s);
    t_running = nullptr;
  }
  if (s.common.LastError != 0) {
    SendStatus(s, false, true);
    FinishSession(s);
    return;
  }
  const intptr_t portParam = static_cast<intptr_t>(static_cast<uintptr_t>(port) << 16);
  s.machine(0, 0, 0, portParam);
  if (!s.common.Prepared) return;  // the first run already ended the session

  // The machine takes the port's events for itself while the session runs.
  if (const int rc = AttachHandler(port, 0, s.machine, false); rc < 0) {
    ReportError(s, rc);
    FinishSession(s);
    return;
  }
  c.eventHandler = s.machine;
  ArmStatusTimer(s);
  // An answer that came in before the handler was attached is not announced again.
  if (CharReady(port) == 1) s.machine(0, kMsgTriggerAvail, 0, portParam);
}

void FinishSession(FaxSession& s) {
  FaxCommon& c = s.common;
  const int port = c.portHandle;
  SetProtocolActive(port, 0);
  for (int* handle : {&c.timeoutTimer, &c.statusTimer, &c.outFreeTrigger, &c.drainedTrigger, &c.modemStatusTrigger}) {
    if (*handle > 0) DropTrigger(port, *handle);
    *handle = 0;
  }
  // The data-available threshold belongs to the port: it gets its own value back.
  SetAvailThreshold(port, c.savedAvailThreshold);
  c.availTrigger = 0;
  DetachHandler(port, 0, s.machine);
  c.eventHandler = nullptr;
  SetUserSlot(port, kSessionUserSlot, nullptr);
  c.Prepared = false;
  s.log.Close("session finished, result " + std::to_string(c.LastError));
  PostFinish(s);
}

}  // namespace ql
