#include "serial/dispatcher/sync_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/clock.h"

namespace ql {

SyncEvent::SyncEvent(bool autoReset) : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), autoReset_(autoReset) {}

SyncEvent::~SyncEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void SyncEvent::Set() {
  const uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void SyncEvent::Reset() {
  uint64_t value = 0;
  while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool SyncEvent::Consume() {
  if (!autoReset_) return true;
  uint64_t value = 0;
  return ::read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

bool SyncEvent::Wait(int timeoutMs) {
  const int32_t start = MillisecondClock();
  for (;;) {
    int remaining = -1;
    if (timeoutMs >= 0) {
      const int32_t elapsed = (MillisecondClock() - start) & 0x7FFFFFFF;
      remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
    }
    pollfd p {fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, remaining);
    if (r > 0) {
      if (Consume()) return true;
      continue;  // another waiter took it
    }
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace ql
