#pragma once
// What both machines are made of: a table of states (each with its unit, whether the
// line handling every line state shares runs first, and when the machine runs again
// once it has entered the state), one table of transitions, the reading of modem input
// into lines and frames, and the loop of steps one entry runs.

#include <cstddef>
#include <functional>

#include "fax_engine/session/response_collector.h"
#include "fax_engine/session/session_run.h"

namespace ql {

// When the machine runs a state it has just entered: at once (the state waits for
// nothing), while modem input is waiting (the state reads lines or data), or at the
// next trigger.
enum class RunAfter { kAtOnce, kWhileInput, kNextTrigger };
inline constexpr RunAfter kNow = RunAfter::kAtOnce;
inline constexpr RunAfter kLines = RunAfter::kWhileInput;
inline constexpr RunAfter kTrigger = RunAfter::kNextTrigger;

template <typename State, typename Unit>
struct StateInfo {
  State state;
  const char* name;
  Unit unit;
  bool sharedLineHandling;
  RunAfter after;
};

template <typename State, typename Outcome>
struct Transition {
  State from;  // the table's "any" value: from every state
  Outcome outcome;
  State to;
};

// The entry of `state` in a state table; the last entry when it has none.
template <typename Info, size_t N, typename State>
const Info& InfoOf(const Info (&table)[N], State state) {
  for (const Info& info : table)
    if (info.state == state) return info;
  return table[N - 1];
}

// The transition for `outcome` from `from`, or one from `any`; null when there is none.
template <typename T, size_t N, typename State, typename Outcome>
const T* FindTransition(const T (&table)[N], State from, Outcome outcome, State any) {
  for (const T& t : table)
    if ((t.from == from || t.from == any) && t.outcome == outcome) return &t;
  return nullptr;
}

// "state 8 waiting for a call -> 9 answer" in the session log.
void NoteStateChange(FaxSession& s, int from, const char* fromName, int to, const char* toName);
// An outcome the transitions do not know is a fault of the machine: -6009 reported.
void ReportSequenceError(FaxSession& s);

// Moves the machine (its state byte) to the state the transitions name for `outcome`
// from `from`, and logs the change; an outcome they do not know leads to `error`.
template <typename Info, size_t NI, typename T, size_t NT, typename State, typename Outcome>
void TakeTransition(FaxSession& s, uint8_t& state, const Info (&states)[NI], const T (&transitions)[NT], State from,
                    Outcome outcome, State any, State error) {
  if (const T* t = FindTransition(transitions, from, outcome, any)) {
    if (t->to != from)
      NoteStateChange(s, static_cast<int>(from), InfoOf(states, from).name, static_cast<int>(t->to),
                      InfoOf(states, t->to).name);
    state = static_cast<uint8_t>(t->to);
    return;
  }
  ReportSequenceError(s);
  state = static_cast<uint8_t>(error);
}

// Reads modem input into the session's response until a line or a frame is complete.
ResponseCollector::Item CollectResponse(FaxSession& s);

// The steps of one entry: the periodic status (a status-timer entry ends there), a
// step, a cancel asked for meanwhile, and again for as long as the state now current
// asks (a repeated run counts as data available).
void RunSteps(FaxSession& s, EventKind event, const std::function<void(EventKind)>& step,
              const std::function<RunAfter()>& afterCurrentState, const std::function<void()>& beginAbort);

}  // namespace ql
