#include "serial/triggers/trigger_tables.h"

#include <algorithm>

#include "serial/errors/error_codes.h"

namespace ql {

namespace {

int LowestFreeHandle(const TTriggerArea& area) {
  for (int h = kFirstTriggerHandle; h <= kLastTriggerHandle; ++h)
    if (area.handles[h].kind == TriggerKind::Free) return h;
  return 0;
}

template <typename Slot, std::size_t N>
int FirstFreeSlot(const Slot (&slots)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (slots[i].handle == 0) return static_cast<int>(i);
  return -1;
}

// Takes a slot and a handle for a new trigger; returns the handle or -5001.
template <typename Slot, std::size_t N>
int Allocate(TTriggerArea& area, Slot (&slots)[N], TriggerKind kind, Slot fresh) {
  const int slot = FirstFreeSlot(slots);
  const int handle = LowestFreeHandle(area);
  if (slot < 0 || handle == 0) return ecNoMoreTriggers;
  fresh.handle = static_cast<uint16_t>(handle);
  slots[slot] = fresh;
  area.handles[handle] = {kind, static_cast<uint8_t>(slot + 1)};
  return handle;
}

// The slot index (0-based) a handle names when it is of the given kind, else -1.
int SlotOf(const TTriggerArea& area, int handle, TriggerKind kind) {
  if (handle < kFirstTriggerHandle || handle > kLastTriggerHandle) return -1;
  const TTriggerHandleEntry& e = area.handles[handle];
  return e.kind == kind && e.slot >= 1 && e.slot <= kTriggerSlots ? e.slot - 1 : -1;
}

}  // namespace

namespace trigger_table {

int NewTimerTrigger(TTriggerArea& area) { return Allocate(area, area.timers, TriggerKind::Timer, TTimerTriggerSlot{}); }

int NewStatusTrigger(TTriggerArea& area, int kind) {
  if (kind < kStatusModem || kind > kStatusOutSent) return ecBadArgument;
  TStatusTriggerSlot fresh;
  fresh.kind = static_cast<uint16_t>(kind);
  return Allocate(area, area.statuses, TriggerKind::Status, fresh);
}

int ArmTimerTrigger(TTriggerArea& area, int handle, int32_t ticks, bool activate, int32_t nowTicks) {
  const int slot = SlotOf(area, handle, TriggerKind::Timer);
  if (slot < 0) return ecBadTriggerHandle;
  TTimerTriggerSlot& t = area.timers[slot];
  t.active = activate;
  if (activate) {
    if (ticks != 0) t.interval = ticks;
    ArmTimerAt(t.timer, t.interval, nowTicks);
  }
  return 0;
}

int ArmStatusTrigger(TTriggerArea& area, int handle, uint16_t value, bool activate, uint8_t modemShadow) {
  const int slot = SlotOf(area, handle, TriggerKind::Status);
  if (slot < 0) return ecBadTriggerHandle;
  TStatusTriggerSlot& s = area.statuses[slot];
  s.active = activate;
  if (!activate) return 0;
  switch (s.kind) {
    case kStatusModem: {
      const uint8_t mask = static_cast<uint8_t>(value & 0xFF);
      s.value = static_cast<uint16_t>((mask << 8) | (mask & modemShadow));
      break;
    }
    case kStatusLineError:
      // Overrun, parity, framing and break move up to the line-error word's bits.
      s.value = static_cast<uint16_t>((value & 0x0F) << 1);
      break;
    case kStatusOutFree:
    case kStatusOutUsed:
      s.value = value;
      break;
    default:
      break;
  }
  return 0;
}

int DropTrigger(TTriggerArea& area, int handle) {
  if (handle == kAvailTriggerHandle) {
    area.availThreshold = 0;
    return 0;
  }
  if (handle < kFirstTriggerHandle || handle > kLastTriggerHandle) return 0;
  const TTriggerHandleEntry e = area.handles[handle];
  if (e.slot >= 1 && e.slot <= kTriggerSlots) {
    if (e.kind == TriggerKind::Timer) area.timers[e.slot - 1] = {};
    if (e.kind == TriggerKind::Status) area.statuses[e.slot - 1] = {};
  }
  area.handles[handle] = {};
  return 0;
}

int StatusTriggerKind(const TTriggerArea& area, int handle) {
  const int slot = SlotOf(area, handle, TriggerKind::Status);
  return slot < 0 ? 0 : area.statuses[slot].kind;
}

int TakeExpiredTimer(TTriggerArea& area, int32_t nowTicks) {
  for (TTimerTriggerSlot& t : area.timers) {
    if (t.handle != 0 && t.active && TimerExpiredAt(t.timer, nowTicks)) {
      t.active = false;
      return t.handle;
    }
  }
  return 0;
}

TStatusFired TakeFiredStatus(TTriggerArea& area, const TStatusInputs& in, bool (&firedThisPass)[kTriggerSlots]) {
  for (int i = 0; i < kTriggerSlots; ++i) {
    TStatusTriggerSlot& s = area.statuses[i];
    if (s.handle == 0 || !s.active || firedThisPass[i]) continue;
    bool fires = false;
    uint16_t count = 0;
    switch (s.kind) {
      case kStatusModem:
        fires = ((s.value & 0xFF) ^ in.modemShadow) & (s.value >> 8) & 0xFF;
        break;
      case kStatusLineError:
        fires = (in.lineErrors & s.value) != 0;
        if (fires) s.value = static_cast<uint16_t>(in.lineErrors);
        break;
      case kStatusOutFree:
        fires = in.outFree >= s.value;
        count = static_cast<uint16_t>(std::clamp(in.outFree, 0, 0xFFFF));
        break;
      case kStatusOutUsed:
        fires = in.outUsed <= s.value;
        count = static_cast<uint16_t>(std::clamp(in.outUsed, 0, 0xFFFF));
        break;
      case kStatusOutSent:
        fires = in.blockWritten;
        break;
      default:
        break;
    }
    if (!fires) continue;
    s.active = false;
    firedThisPass[i] = true;
    return {s.handle, i, (s.kind == kStatusOutFree || s.kind == kStatusOutUsed) ? count : uint16_t{0}, s.kind};
  }
  return {};
}

}  // namespace trigger_table

}  // namespace ql
