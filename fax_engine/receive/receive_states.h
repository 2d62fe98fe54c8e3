#pragma once
// Inside the receive machine: its states (numbered as the machine has always numbered
// them; 6 and 17 are not used), the outcomes a state reports, and the state units. A
// state unit does its state's work and names what happened; the machine
// (receive_machine.cpp) alone decides from that outcome which state comes next.

#include <cstdint>
#include <string>

#include "fax_engine/session/session_run.h"

namespace ql {

struct ReceiveSession;

enum class ReceiveState : uint8_t {
  kStart = 1,
  kClass1Selected = 2,      // wait OK
  kClass2Selected = 3,      // wait OK, then the capabilities
  kCapabilitiesSet = 4,     // wait OK, then flow control (Class 2.0)
  kFlowControlSet = 5,      // wait OK, then the reports (Class 2.0)
  kReportsSet = 7,          // wait OK
  kWaitForCall = 8,
  kAnswer = 9,
  kAnswered = 10,           // Class 1: CONNECT, then CSI
  kSendDis = 11,
  kAwaitDcs = 12,
  kAnswerRetry = 13,
  kRetryAnswer = 14,
  kTrainingCarrier = 15,
  kTrainingCheck = 16,
  kSendFtt = 18,
  kTrainingEnded = 19,
  kSendCfr = 20,
  kPageCarrier = 21,
  kClass2Answered = 22,
  kClass2Negotiation = 23,
  kClass2AwaitPage = 24,
  kPageStart = 25,
  kPageData = 26,
  kPageCarrierEnded = 27,
  kPostPage = 28,
  kPageEnd = 29,
  kSendPageAnswer = 30,
  kAwaitDcn = 31,
  kHangingUp = 32,
  kClass2PostPage = 33,
  kClass2HangUp = 34,
  kCallDone = 35,
  kError = 36,
  kIdle = 37,
};

enum class ROutcome {
  kStay,          // keep waiting in this state
  kLeave,         // no complete line or frame yet
  kToState,       // the shared line handling hands the line to the state
  kFailed,        // the error is reported: the call ends
  kRetrain,       // a frame asked for new training: the next DCS is awaited
  kTimeoutRetry,  // no answer from the far machine: answer again
  kClass1Chosen,
  kClass2Chosen,
  kOk,            // a wait-OK state got its OK
  kCapabilities2,
  kCapabilities20,
  kRingAnswered,  // the ring to answer on
  kAnsweredClass1,
  kAnsweredClass2,
  kCsiSent,
  kDisSent,
  kTrainingExpected,
  kRetried,
  kRetryCommandSent,
  kTrainingStarted,
  kFramesInstead,  // a slow carrier came where a fast one was expected: frames follow
  kTrainingGood,
  kTrainingBad,
  kAwaitNewDcs,
  kCfrCommandSent,
  kPageExpected,
  kPageCarrierUp,
  kConnected,      // Class 2 connect report
  kPageRequested,  // Class 2 +FDR sent
  kPageStarted,
  kPageEndedClass1,
  kPageEndedClass2,
  kPostPageCommand,
  kPostPageReceived,
  kPageAnswered,
  kNextPage,
  kLastPage,
  kHangUpSent,
  kHungUp,
  kNextPageClass2,
  kDocumentEnded,
  kCallEnded,
  kNextCall,
  kEndRun,
};

const char* StateName(ReceiveState state);

// What a state sees on a run: the event, and for line states the complete line.
struct RStateInput {
  EventKind event = EventKind::kData;
  const std::string* line = nullptr;

  bool Has(const char* text) const { return line != nullptr && line->find(text) != std::string::npos; }
  bool Has(const std::string& text) const { return !text.empty() && Has(text.c_str()); }
  bool IsLine() const { return line != nullptr; }
};

using RStateUnit = ROutcome (*)(ReceiveSession& s, const RStateInput& in);

// ---- small actions the states share ----

ReceiveState StateOf(const ReceiveSession& s);
bool IsClass1(const ReceiveSession& s);
// Reports the error; the call ends.
ROutcome Fail(ReceiveSession& s, int code);
void SetProgress(ReceiveSession& s, int progress, bool force = true);
// Sends a command; a failed write ends the call, else `next`.
ROutcome Command(ReceiveSession& s, const std::string& text, ROutcome next);
// The line was used: cleared, and the reply wait re-armed ("keep waiting").
ROutcome KeepWaiting(ReceiveSession& s);
// The status that opens the run (ConstantStatus) or the call.
void Announce(ReceiveSession& s);

// Asks the component whether to take the call and, when it does, creates the file
// (log code 4). A rejected call is hung up and logged with code 6 (-6011); both
// failures end the call.
ROutcome AcceptAndCreateFile(ReceiveSession& s, ROutcome next);
// Counts the page in the file; its error ends the call.
int EndPageInFile(ReceiveSession& s);
// Closes the file of a fax received whole (log code 5).
void FinishFile(ReceiveSession& s);

// ---- the state units, one a state ----
ROutcome Start(ReceiveSession& s, const RStateInput& in);
ROutcome Class1Selected(ReceiveSession& s, const RStateInput& in);
ROutcome Class2Selected(ReceiveSession& s, const RStateInput& in);
ROutcome CapabilitiesSet(ReceiveSession& s, const RStateInput& in);
ROutcome FlowControlSet(ReceiveSession& s, const RStateInput& in);
ROutcome ReportsSet(ReceiveSession& s, const RStateInput& in);
ROutcome WaitForCall(ReceiveSession& s, const RStateInput& in);
ROutcome Answer(ReceiveSession& s, const RStateInput& in);

ROutcome Answered(ReceiveSession& s, const RStateInput& in);
ROutcome SendDis(ReceiveSession& s, const RStateInput& in);
ROutcome AwaitDcs(ReceiveSession& s, const RStateInput& in);
ROutcome AnswerRetry(ReceiveSession& s, const RStateInput& in);
ROutcome RetryAnswer(ReceiveSession& s, const RStateInput& in);
ROutcome TrainingCarrier(ReceiveSession& s, const RStateInput& in);
ROutcome TrainingCheck(ReceiveSession& s, const RStateInput& in);
ROutcome SendFtt(ReceiveSession& s, const RStateInput& in);
ROutcome TrainingEnded(ReceiveSession& s, const RStateInput& in);
ROutcome SendCfr(ReceiveSession& s, const RStateInput& in);
ROutcome PageCarrier(ReceiveSession& s, const RStateInput& in);
ROutcome PageCarrierEnded(ReceiveSession& s, const RStateInput& in);
ROutcome PostPage(ReceiveSession& s, const RStateInput& in);
ROutcome PageEnd(ReceiveSession& s, const RStateInput& in);
ROutcome SendPageAnswer(ReceiveSession& s, const RStateInput& in);
ROutcome AwaitDcn(ReceiveSession& s, const RStateInput& in);
ROutcome HangingUp(ReceiveSession& s, const RStateInput& in);

ROutcome Class2Answered(ReceiveSession& s, const RStateInput& in);
ROutcome Class2Negotiation(ReceiveSession& s, const RStateInput& in);
ROutcome Class2AwaitPage(ReceiveSession& s, const RStateInput& in);
ROutcome Class2PostPage(ReceiveSession& s, const RStateInput& in);
ROutcome Class2HangUp(ReceiveSession& s, const RStateInput& in);

ROutcome PageStart(ReceiveSession& s, const RStateInput& in);
ROutcome PageData(ReceiveSession& s, const RStateInput& in);

ROutcome CallDone(ReceiveSession& s, const RStateInput& in);
ROutcome ErrorState(ReceiveSession& s, const RStateInput& in);
ROutcome Idle(ReceiveSession& s, const RStateInput& in);

}  // namespace ql
