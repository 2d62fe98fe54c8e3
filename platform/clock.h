#pragma once
// The program's clocks. Protocol time-outs count ticks of 55 ms; short waits use a
// millisecond clock. Both come from the monotonic clock, masked to 31 bits like the
// tick count they stand in for, so every arithmetic rule below (including wrap-around)
// behaves as the protocol code expects.

#include <cstdint>

namespace ql {

inline constexpr int32_t kMillisecondsPerTick = 55;
// Longest interval an event timer can hold, in ticks (about 24.8 days).
inline constexpr int32_t kMaxTimerTicks = 39045157;

// Milliseconds of the monotonic clock, masked to 31 bits.
int32_t MillisecondClock();

// Ticks since an arbitrary start: the millisecond clock divided by 55.
int32_t TickNow();

// Seconds to ticks (s × 1675 div 92) and ticks to seconds ((t + 9) × 92 div 1675).
constexpr int32_t SecondsToTicks(int32_t seconds) {
  return static_cast<int32_t>(static_cast<int64_t>(seconds) * 1675 / 92);
}
constexpr int32_t TicksToSeconds(int32_t ticks) {
  return static_cast<int32_t>((static_cast<int64_t>(ticks) + 9) * 92 / 1675);
}

// A start and an expiry tick. Armed for n ticks it holds now and now + min(n, cap).
struct EventTimer {
  int32_t startTicks = 0;
  int32_t expireTicks = 0;
};

void ArmTimer(EventTimer& timer, int32_t ticks);
void ArmTimerAt(EventTimer& timer, int32_t ticks, int32_t now);  // with an explicit "now"
bool TimerExpired(const EventTimer& timer);
// Expired when expiry < now, or when now < start (the tick count wrapped) and
// expiry < now + cap.
bool TimerExpiredAt(const EventTimer& timer, int32_t now);
// Ticks since the timer was armed, and ticks until it expires (0 once expired).
int32_t ElapsedTicks(const EventTimer& timer);
int32_t RemainingTicks(const EventTimer& timer);

// Waits n milliseconds by reading the millisecond clock repeatedly and summing the
// 16-bit differences between readings, so a wrap of the clock cannot stall the wait.
void BusyDelay(int32_t milliseconds);

}  // namespace ql
