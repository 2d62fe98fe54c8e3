#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ql {

int32_t MillisecondClock() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  return static_cast<int32_t>(static_cast<uint64_t>(ms) & 0x7FFFFFFFu);
}

int32_t TickNow() { return MillisecondClock() / kMillisecondsPerTick; }

void ArmTimerAt(EventTimer& timer, int32_t ticks, int32_t now) {
  timer.startTicks = now;
  // Sum in 64 bits and fold back: the tick count itself never exceeds 31 bits / 55.
  timer.expireTicks = static_cast<int32_t>(static_cast<int64_t>(now) + std::min(ticks, kMaxTimerTicks));
}

void ArmTimer(EventTimer& timer, int32_t ticks) { ArmTimerAt(timer, ticks, TickNow()); }

bool TimerExpiredAt(const EventTimer& timer, int32_t now) {
  if (timer.expireTicks < now) return true;
  return now < timer.startTicks && static_cast<int64_t>(timer.expireTicks) < static_cast<int64_t>(now) + kMaxTimerTicks;
}

bool TimerExpired(const EventTimer& timer) { return TimerExpiredAt(timer, TickNow()); }

int32_t ElapsedTicks(const EventTimer& timer) {
  const int32_t now = TickNow();
  // After a wrap the tick count restarted at 0: add the ticks that were left before it.
  if (now < timer.startTicks) return now + (0x7FFFFFFF / kMillisecondsPerTick - timer.startTicks);
  return now - timer.startTicks;
}

int32_t RemainingTicks(const EventTimer& timer) {
  if (TimerExpired(timer)) return 0;
  return std::max(0, timer.expireTicks - TickNow());
}

void BusyDelay(int32_t milliseconds) {
  if (milliseconds <= 0) return;
  int32_t last = MillisecondClock();
  int32_t sum = 0;
  while (sum < milliseconds) {
    // Sleep briefly instead of spinning: the wait only has to last at least n ms.
    std::this_thread::sleep_for(std::chrono::microseconds(std::min<int32_t>(1000, (milliseconds - sum) * 500)));
    const int32_t now = MillisecondClock();
    sum += static_cast<uint16_t>(static_cast<uint16_t>(now) - static_cast<uint16_t>(last));
    last = now;
  }
}

}  // namespace ql
