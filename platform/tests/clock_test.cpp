#include "platform/clock.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

TEST(Clock, SecondsAndTicksConvertWithIntegerArithmetic) {
  EXPECT_EQ(SecondsToTicks(10), 182);
  EXPECT_EQ(SecondsToTicks(60), 1092);
  EXPECT_EQ(SecondsToTicks(30), 546);
  EXPECT_EQ(TicksToSeconds(182), 10);
  EXPECT_EQ(TicksToSeconds(0), 0);
  EXPECT_EQ(TicksToSeconds(1092), 60);
  // Large values do not overflow 32 bits in the intermediate product.
  EXPECT_EQ(SecondsToTicks(2000000), 36413043);
}

TEST(Clock, EventTimerExpiresAfterItsTicksAndCapsLongIntervals) {
  EventTimer t;
  ArmTimerAt(t, 100, 1000);
  EXPECT_EQ(t.startTicks, 1000);
  EXPECT_EQ(t.expireTicks, 1100);
  EXPECT_FALSE(TimerExpiredAt(t, 1000));
  EXPECT_FALSE(TimerExpiredAt(t, 1100));
  EXPECT_TRUE(TimerExpiredAt(t, 1101));
  ArmTimerAt(t, INT32_MAX, 5);
  EXPECT_EQ(t.expireTicks, 5 + kMaxTimerTicks);
}

TEST(Clock, EventTimerHandlesTheTickCountWrapping) {
  // Armed just before the 31-bit millisecond clock wraps (39045157 ticks).
  EventTimer t;
  ArmTimerAt(t, 200, kMaxTimerTicks - 100);
  EXPECT_FALSE(TimerExpiredAt(t, kMaxTimerTicks - 1));
  // After the wrap "now" is small and below start: expired only once expiry < now + cap.
  EXPECT_FALSE(TimerExpiredAt(t, 50));
  EXPECT_TRUE(TimerExpiredAt(t, 101));
}

TEST(Clock, MillisecondClockIsMonotonicAndMaskedAndBusyDelayWaits) {
  const int32_t a = MillisecondClock();
  EXPECT_GE(a, 0);
  BusyDelay(30);
  const int32_t b = MillisecondClock();
  EXPECT_GE(b - a, 30);
  EXPECT_EQ(TickNow(), MillisecondClock() / 55);
}

}  // namespace
}  // namespace ql
