// The three threads of an open port.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/port_record.h"

namespace ql {

namespace {

constexpr int kDispatchWaitMs = 50;     // trigger checks at least this often
constexpr int kLinePollMs = 50;         // modem lines and line errors of real devices
constexpr int kWriteWaitMs = 60000;     // a write that makes no progress for this long is retried

uint32_t LineEventsOf(uint8_t before, uint8_t now, bool* ringTrailingEdge) {
  uint32_t mask = 0;
  const uint8_t changed = before ^ now;
  if (changed & kLineCts) mask |= kEvCts;
  if (changed & kLineDsr) mask |= kEvDsr;
  if (changed & kLineDcd) mask |= kEvRlsd;
  if (changed & kLineRing) {
    mask |= kEvRing;
    if (!(now & kLineRing)) {
      mask |= kEvRingTrailingEdge;
      *ringTrailingEdge = true;
    }
  }
  return mask;
}

uint32_t ErrorBitsOf(const LineErrorCounts& before, const LineErrorCounts& now) {
  uint32_t bits = 0;
  if (now.bufferOverrun != before.bufferOverrun) bits |= kErrRxOver;
  if (now.overrun != before.overrun) bits |= kErrOverrun;
  if (now.parity != before.parity) bits |= kErrParity;
  if (now.frame != before.frame) bits |= kErrFrame;
  if (now.brk != before.brk) bits |= kErrBreak;
  return bits;
}

// Waits for either event (or the stop event); true when `wanted` was set.
bool WaitEither(SyncEvent& wanted, SyncEvent& stop) {
  pollfd fds[2] = {{wanted.fd(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
  for (;;) {
    const int r = ::poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (fds[1].revents) return false;
    if (fds[0].revents && wanted.Consume()) return true;
    if (r < 0) return false;
  }
}

// Reads what the device holds into the receive buffer, as far as it fits.
void ReadReceivedData(TPortRecord& p) {
  int writeAt, room, waiting;
  DeviceHandle device;
  {
    std::lock_guard lock(p.lock);
    device = p.device;
    if (device < 0) return;
    room = kReceiveBufferSize - p.RxHeld();
    writeAt = p.rxWrite;
    p.ops.DevGetError(device, p.status);
    waiting = static_cast<int>(p.status.InQueue);
    if (room == 0) {
      p.rxBacklog = waiting > 0;
      return;
    }
  }
  const int count = std::min(waiting, room);
  int got = 0;
  if (count > 0) {
    const int first = std::min(count, kReceiveBufferSize - writeAt);
    got = std::max(0, p.ops.DevRead(device, p.rx + writeAt, first));
    if (got == first && count > first) got += std::max(0, p.ops.DevRead(device, p.rx, count - first));
  }
  std::lock_guard lock(p.lock);
  // Logged in one piece per contiguous run, as the bytes lie in the buffer.
  const int firstRun = std::min(got, kReceiveBufferSize - writeAt);
  p.AddLog(kLogDispatch, kLogReadCom, static_cast<uint16_t>(firstRun), p.rx + writeAt, firstRun);
  if (got > firstRun) p.AddLog(kLogDispatch, kLogReadCom, static_cast<uint16_t>(got - firstRun), p.rx, got - firstRun);
  p.rxWrite = (writeAt + got) % kReceiveBufferSize;
  if (got > 0 && p.rxWrite == p.rxRead) p.rxFull = true;
  p.rxTotal += static_cast<uint64_t>(got);
  if (waiting > room) p.rxOverflow = true;
  p.rxBacklog = waiting > got;
}

// A notification is under way or held: no check starts another.
bool Notifying(TPortRecord& p) {
  std::lock_guard lock(p.lock);
  return p.notifying || p.suspended;
}

bool ClosePending(TPortRecord& p) {
  std::lock_guard lock(p.lock);
  return p.closePending;
}

void CheckStatusUntilQuiet(TPortRecord& p) {
  while (!ClosePending(p) && CheckStatusTriggers(p)) {
  }
}

void HandleCommEvent(TPortRecord& p, uint32_t mask) {
  if (mask & (kEvCts | kEvDsr | kEvRlsd | kEvRing | kEvRingTrailingEdge)) {
    {
      std::lock_guard lock(p.lock);
      p.RefreshModemShadow();
    }
    if (!Notifying(p)) CheckStatusUntilQuiet(p);
  }
  if (mask & (kEvBreak | kEvErr)) {
    {
      std::lock_guard lock(p.lock);
      p.CollectLineErrors();
    }
    if (!Notifying(p)) CheckStatusUntilQuiet(p);
  }
  if (mask & kEvRxChar) {
    ReadReceivedData(p);
    if (!Notifying(p))
      while (!ClosePending(p) && CheckAvailTrigger(p)) {
      }
  }
}

// Drops what waits in the output ring of a device that went away.
void DiscardRing(TPortRecord& p) {
  std::lock_guard lock(p.lock);
  p.outRead = p.outWrite;
  p.outFull = false;
  ++p.outDiscards;
}

// Writes the output ring to the device until it is empty. Returns false when a flush
// request interrupted it (already acknowledged).
bool WriteOutRing(TPortRecord& p) {
  for (;;) {
    if (p.terminate) return true;
    int from, length;
    uint32_t discards;
    DeviceHandle device;
    {
      std::lock_guard lock(p.lock);
      device = p.device;
      discards = p.outDiscards;
      if (!p.outFull && p.outRead == p.outWrite) return true;
      from = p.outRead;
      length = (p.outWrite > p.outRead ? p.outWrite : p.outSize) - p.outRead;
    }
    if (p.deviceLost || device < 0) {
      DiscardRing(p);
      return true;
    }
    const ssize_t n = ::write(device, p.outRing.data() + from, static_cast<size_t>(length));
    if (n > 0) {
      std::lock_guard lock(p.lock);
      if (p.outDiscards == discards) {  // else the ring was emptied while we wrote
        p.outRead = (from + static_cast<int>(n)) % p.outSize;
        p.outFull = false;
      }
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      p.deviceLost = true;  // the comm-event thread reports it with the next poll
      DiscardRing(p);
      return true;
    }
    pollfd fds[2] = {{device, POLLOUT, 0}, {p.flushRequest.fd(), POLLIN, 0}};
    if (::poll(fds, 2, kWriteWaitMs) > 0 && fds[1].revents && p.flushRequest.Consume()) {
      p.flushAck.Set();
      return false;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      p.deviceLost = true;
      DiscardRing(p);
      return true;
    }
  }
}

}  // namespace

void CommEventThread(PortPtr port) {
  TPortRecord& p = *port;
  DeviceHandle device;
  {
    std::lock_guard lock(p.lock);
    device = p.device;
  }
  bool hasLines = false;
  uint8_t lines = ReadModemLines(device, &hasLines);
  LineErrorCounts counts;
  const bool hasCounts = ReadLineErrorCounts(device, counts);
  p.acknowledge.Set();
  while (!p.terminate) {
    const bool lost = p.deviceLost;
    const bool backlog = p.rxBacklog;
    pollfd fds[2] = {{p.stopEvent.fd(), POLLIN, 0}, {lost || backlog ? -1 : device, POLLIN, 0}};
    // Devices with modem lines are looked at every 50 ms; a pseudo-terminal or a lost
    // device sleeps until data or the stop event comes.
    const bool timed = !lost && (hasLines || hasCounts || backlog);
    const int r = ::poll(fds, 2, timed ? kLinePollMs : -1);
    if (r < 0 && errno != EINTR) break;
    if (p.terminate) break;
    uint32_t mask = 0;
    if (!lost && (fds[1].revents & POLLIN)) mask |= kEvRxChar;
    if (!lost && backlog) mask |= kEvRxChar;
    if (!lost && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) p.deviceLost = true;
    if (p.deviceLost && !lost) {
      mask |= kEvRlsd | kEvCts | kEvDsr;  // every line reads low from now on
      if (fds[1].revents & POLLIN) mask |= kEvRxChar;
    } else if (!lost && hasLines) {
      bool trailing = false;
      const uint8_t now = ReadModemLines(device);
      mask |= LineEventsOf(lines, now, &trailing);
      if (trailing) p.ringTrailingEdge = true;
      lines = now;
    }
    if (!lost && hasCounts) {
      LineErrorCounts now;
      if (ReadLineErrorCounts(device, now) && !(now == counts)) {
        const uint32_t bits = ErrorBitsOf(counts, now);
        p.pendingLineErrors |= bits;
        mask |= (bits & kErrBreak) ? kEvBreak : 0;
        mask |= (bits & ~kErrBreak) ? kEvErr : 0;
        counts = now;
      }
    }
    if (mask == 0) continue;
    p.lastEventMask = mask;
    p.commEvent.Set();
    if (!WaitEither(p.dispatchDone, p.stopEvent)) break;
  }
  p.acknowledge.Set();
}

void DispatchThread(PortPtr port) {
  TPortRecord& p = *port;
  {
    std::lock_guard lock(p.lock);
    p.dispatchThreadId = std::this_thread::get_id();
  }
  p.acknowledge.Set();
  for (;;) {
    const bool event = p.commEvent.Wait(kDispatchWaitMs);
    if (p.terminate) return;
    if (!event) {
      bool idle = false;
      {
        std::lock_guard lock(p.lock);
        idle = !p.closePending && !p.notifying && !p.suspended;
      }
      if (idle) {
        while (!ClosePending(p)) {
          bool raised = CheckStatusTriggers(p);
          if (ClosePending(p)) break;
          raised = CheckTimerTriggers(p) || raised;
          if (ClosePending(p)) break;
          // Data that came while notifications were held, or whose notification a
          // window missed, is announced now rather than with the next arrival.
          raised = CheckAvailTrigger(p) || raised;
          if (!raised) break;
        }
      }
    } else {
      HandleCommEvent(p, p.lastEventMask);
      p.dispatchDone.Set();
    }
    {
      std::lock_guard lock(p.lock);
      std::fill(std::begin(p.statusFired), std::end(p.statusFired), false);
    }
    if (ClosePending(p)) {
      FinishClose(port);
      return;
    }
  }
}

void OutputThread(PortPtr port) {
  TPortRecord& p = *port;
  p.outputThreadRunning = true;
  p.acknowledge.Set();
  while (!p.terminate) {
    pollfd fds[2] = {{p.outputReady.fd(), POLLIN, 0}, {p.flushRequest.fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[1].revents && p.flushRequest.Consume()) p.flushAck.Set();
    if (fds[0].revents && p.outputReady.Consume()) {
      if (p.terminate) break;
      WriteOutRing(p);
    }
  }
  p.outputThreadRunning = false;
  p.flushAck.Set();  // a flush waiting for us is let go
}

}  // namespace ql
