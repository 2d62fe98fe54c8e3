#pragma once
// The trigger tables of one port: the avail threshold (trigger handle 1), and timer and
// status triggers with handles 2 to 41 kept in ten slots of each kind. Plain data with
// the operations that allocate, arm, drop and check triggers; the dispatcher holds the
// port lock around every call and notifies handlers of what the checks report.

#include <cstdint>

#include "platform/clock.h"

namespace ql {

inline constexpr int kAvailTriggerHandle = 1;
inline constexpr int kFirstTriggerHandle = 2;
inline constexpr int kLastTriggerHandle = 41;
inline constexpr int kTriggerSlots = 10;

// Status trigger kinds.
inline constexpr int kStatusModem = 1;
inline constexpr int kStatusLineError = 2;
inline constexpr int kStatusOutFree = 3;
inline constexpr int kStatusOutUsed = 4;
inline constexpr int kStatusOutSent = 5;

// Notification messages; the port handle goes in the high word of the long parameter.
inline constexpr uint32_t kMsgTriggerAvail = 0x7E01;
inline constexpr uint32_t kMsgTriggerTimer = 0x7E03;
inline constexpr uint32_t kMsgTriggerStatus = 0x7E04;

enum class TriggerKind : uint8_t { Free = 0, Timer = 1, Status = 2 };

struct TTriggerHandleEntry {
  TriggerKind kind = TriggerKind::Free;
  uint8_t slot = 0;  // 1 to 10
};

struct TTimerTriggerSlot {
  uint16_t handle = 0;  // 0: free slot
  EventTimer timer;
  int32_t interval = 0;  // ticks
  bool active = false;
};

struct TStatusTriggerSlot {
  uint16_t handle = 0;
  uint16_t kind = 0;
  bool active = false;
  // Kind 1: low byte reference, high byte mask; kind 2: line-error mask; kinds 3 and 4:
  // threshold in bytes.
  uint16_t value = 0;
};

// Everything a port knows about its triggers; also the area that SaveTriggers and
// RestoreTriggers copy.
struct TTriggerArea {
  uint16_t availThreshold = 0;
  TTriggerHandleEntry handles[kLastTriggerHandle + 1];  // index = handle
  TTimerTriggerSlot timers[kTriggerSlots];
  TStatusTriggerSlot statuses[kTriggerSlots];
};

namespace trigger_table {

// Allocation: the first free slot and the lowest free handle. -5001 when none.
int NewTimerTrigger(TTriggerArea& area);
int NewStatusTrigger(TTriggerArea& area, int kind);  // -1002 for a kind outside 1 to 5
// Arming; -5003 when the handle does not name a trigger of that kind.
int ArmTimerTrigger(TTriggerArea& area, int handle, int32_t ticks, bool activate, int32_t nowTicks);
int ArmStatusTrigger(TTriggerArea& area, int handle, uint16_t value, bool activate, uint8_t modemShadow);
// Handle 1 turns the avail trigger off; any other handle is freed. Always 0.
int DropTrigger(TTriggerArea& area, int handle);
// The kind (1 to 5) of a status trigger handle, else 0.
int StatusTriggerKind(const TTriggerArea& area, int handle);

// The first active timer whose time is up, made inactive; 0 when none.
int TakeExpiredTimer(TTriggerArea& area, int32_t nowTicks);

// What a status check compares against.
struct TStatusInputs {
  uint8_t modemShadow = 0;
  uint32_t lineErrors = 0;
  int outFree = 0;
  int outUsed = 0;
  bool blockWritten = false;
};
struct TStatusFired {
  int handle = 0;  // 0: nothing fired
  int slot = 0;    // 0-based
  uint16_t count = 0;  // byte count for kinds 3 and 4
  int kind = 0;
};
// The first active slot, not yet fired in this pass, whose condition holds; it is made
// inactive and marked in firedThisPass. A line-error slot keeps the error word as its
// value; the caller clears the block-written flag when an output-sent slot fires.
TStatusFired TakeFiredStatus(TTriggerArea& area, const TStatusInputs& in, bool (&firedThisPass)[kTriggerSlots]);

}  // namespace trigger_table

}  // namespace ql
