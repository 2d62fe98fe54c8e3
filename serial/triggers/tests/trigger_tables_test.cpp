#include "serial/triggers/trigger_tables.h"

#include <gtest/gtest.h>

#include "serial/errors/error_codes.h"
#include "serial/triggers/handler_list.h"

namespace ql {
namespace {

using namespace trigger_table;

TEST(TriggerTableTest, ArmingWithZeroTicksRestartsThePreviousInterval) {
  TTriggerArea area;
  const int t = NewTimerTrigger(area);
  ASSERT_EQ(ArmTimerTrigger(area, t, 91, true, 1000), 0);
  EXPECT_EQ(TakeExpiredTimer(area, 1091), 0);
  EXPECT_EQ(TakeExpiredTimer(area, 1092), t);
  EXPECT_EQ(TakeExpiredTimer(area, 5000), 0);  // inactive until armed again
  ASSERT_EQ(ArmTimerTrigger(area, t, 0, true, 2000), 0);
  EXPECT_EQ(TakeExpiredTimer(area, 2091), 0);
  EXPECT_EQ(TakeExpiredTimer(area, 2092), t);
  ASSERT_EQ(ArmTimerTrigger(area, t, 5, false, 3000), 0);  // deactivated
  EXPECT_EQ(TakeExpiredTimer(area, 9000), 0);
}

TEST(TriggerTableTest, ModemTriggerFiresOnceWhenAMaskedLineChanges) {
  TTriggerArea area;
  const int s = NewStatusTrigger(area, kStatusModem);
  ASSERT_EQ(ArmStatusTrigger(area, s, 0x80, true, 0xB0), 0);  // DCD high when armed
  bool fired[kTriggerSlots] = {};
  TStatusInputs in;
  in.modemShadow = 0xA0;  // CTS dropped: not watched
  EXPECT_EQ(TakeFiredStatus(area, in, fired).handle, 0);
  in.modemShadow = 0x30;  // DCD dropped
  EXPECT_EQ(TakeFiredStatus(area, in, fired).handle, s);
  bool nextPass[kTriggerSlots] = {};
  EXPECT_EQ(TakeFiredStatus(area, in, nextPass).handle, 0);  // not again until re-armed
}

TEST(TriggerTableTest, LineErrorAndOutputLevelsAndTheFiredMarks) {
  TTriggerArea area;
  const int err = NewStatusTrigger(area, kStatusLineError);
  const int freed = NewStatusTrigger(area, kStatusOutFree);
  const int used = NewStatusTrigger(area, kStatusOutUsed);
  ASSERT_EQ(ArmStatusTrigger(area, err, 0x02, true, 0), 0);  // parity, as the line-error bit 0x04
  ASSERT_EQ(ArmStatusTrigger(area, freed, 100, true, 0), 0);
  ASSERT_EQ(ArmStatusTrigger(area, used, 0, true, 0), 0);
  bool fired[kTriggerSlots] = {};
  TStatusInputs in;
  in.lineErrors = 0x02;  // overrun: not asked for
  in.outFree = 99;
  in.outUsed = 1;
  EXPECT_EQ(TakeFiredStatus(area, in, fired).handle, 0);
  in.lineErrors = 0x06;
  in.outFree = 100;
  in.outUsed = 0;
  EXPECT_EQ(TakeFiredStatus(area, in, fired).handle, err);
  EXPECT_EQ(area.statuses[0].value, 0x06);  // keeps the error word
  const TStatusFired f = TakeFiredStatus(area, in, fired);
  EXPECT_EQ(f.handle, freed);
  EXPECT_EQ(f.count, 100);
  EXPECT_EQ(TakeFiredStatus(area, in, fired).handle, used);
  EXPECT_EQ(TakeFiredStatus(area, in, fired).handle, 0);
}

TEST(TriggerTableTest, HandlesAreSharedBetweenKindsAndRunOut) {
  TTriggerArea area;
  for (int i = 0; i < kTriggerSlots; ++i) EXPECT_EQ(NewTimerTrigger(area), 2 + i);
  EXPECT_EQ(NewTimerTrigger(area), ecNoMoreTriggers);
  for (int i = 0; i < kTriggerSlots; ++i) EXPECT_EQ(NewStatusTrigger(area, 1 + i % 5), 12 + i);
  EXPECT_EQ(NewStatusTrigger(area, 1), ecNoMoreTriggers);
  EXPECT_EQ(ArmStatusTrigger(area, 2, 0, true, 0), ecBadTriggerHandle);
  EXPECT_EQ(ArmTimerTrigger(area, 12, 1, true, 0), ecBadTriggerHandle);
  area.availThreshold = 3;
  EXPECT_EQ(DropTrigger(area, kAvailTriggerHandle), 0);
  EXPECT_EQ(area.availThreshold, 0);
  EXPECT_EQ(DropTrigger(area, 7), 0);
  EXPECT_EQ(StatusTriggerKind(area, 12), 1);
  EXPECT_EQ(StatusTriggerKind(area, 7), 0);
  EXPECT_EQ(NewTimerTrigger(area), 7);  // the lowest free handle and the freed slot
}

void ProcA(uintptr_t, uint32_t, uintptr_t, intptr_t) {}
void ProcB(uintptr_t, uint32_t, uintptr_t, intptr_t) {}

TEST(HandlerListTest, NewestFirstAndDetachedNodesUnlinkedLater) {
  THandlerList list;
  ASSERT_TRUE(list.Attach(0, ProcA, true));
  ASSERT_TRUE(list.Attach(7, nullptr, false));
  ASSERT_TRUE(list.Attach(0, ProcB, true));
  EXPECT_EQ(list.Head()->proc, ProcB);
  EXPECT_EQ(list.Head()->next->kind, kWindowHandler);
  EXPECT_FALSE(list.Head()->next->passOn);
  EXPECT_TRUE(list.Detach(7, nullptr));
  EXPECT_FALSE(list.Detach(7, nullptr));  // already marked
  EXPECT_TRUE(list.Dirty());
  EXPECT_TRUE(list.Head()->next->detached);
  list.UnlinkDetached();
  EXPECT_EQ(list.Head()->next->proc, ProcA);
  EXPECT_FALSE(list.Dirty());
}

}  // namespace
}  // namespace ql
