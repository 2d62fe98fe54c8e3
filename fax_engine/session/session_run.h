#pragma once
// How a session runs on its port: StartSession and FinishSession, the entry of a machine
// from the dispatcher (and from a cancel), the events a machine sees, and the periodic
// status. Both directions' machines are entered through EnterMachine.

#include <cstdint>

#include "fax_engine/session/session_records.h"

namespace ql {

// The session's user slot of the port.
inline constexpr int kSessionUserSlot = 2;

enum class EventKind {
  kStart,        // the first run, inside the start call
  kData,         // data available (also every repeated run)
  kTimeout,      // the time-out trigger
  kStatusTimer,  // the periodic status timer
  kRoom,         // the output buffer has room
  kDrained,      // the output buffer is empty
  kAbort,        // the component cancels
  kIgnored,      // any other trigger
};

// What a dispatcher message (or FaxMsgAbort) means to the session.
EventKind ClassifyEvent(const FaxSession& s, uint32_t msg, uintptr_t wParam);

// Periodic status: on the status timer or a forced status, sends the status and re-arms
// the timer. Returns true when the entry ends here (it was the status timer).
bool PeriodicStatus(FaxSession& s, EventKind event);
// Arms the status timer for StatusInterval seconds.
void ArmStatusTimer(FaxSession& s);

// Allocates the triggers, puts the session in the port's user slot, runs the prepare
// step, runs the machine once and registers it with the dispatcher. Every failure is
// reported and finishes the session (the finish message follows).
void StartSession(FaxSession& s);
// Releases the triggers and the handler and posts the finish message with LastError.
void FinishSession(FaxSession& s);

// The body of a machine: runs one entry with the event it was entered for.
using MachineBody = void (*)(FaxSession& s, EventKind event);

// A machine entry (the dispatcher's procedure handler, or a cancel): finds the session
// of the port and runs the body, one entry at a time. A cancel that arrives while the
// same thread is inside an entry (a handler of a notification cancelling) is kept and
// taken up by the running entry.
void EnterMachine(intptr_t lParam, uint32_t msg, uintptr_t wParam, MachineBody body);
// True (and clears it) when a cancel is waiting to be taken up by the running entry.
bool TakePendingAbort(FaxSession& s);

// Cancels a running session from the component's thread: the machine is entered with
// FaxMsgAbort once no other entry runs. Window messages are let through while it waits.
void CancelSession(FaxSession& s);

// Sessions are registered while they live, so a late entry never reaches a destroyed
// one. Unregistering waits until no entry of the session is under way.
void RegisterSession(FaxSession& s);
void UnregisterSession(FaxSession& s);

}  // namespace ql
