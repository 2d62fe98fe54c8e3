// The receive machine: how an entry runs, the handling every line state shares, and
// the one table that decides, from a state and the outcome its unit reported, which
// state comes next. The state units live beside this file, grouped by phase.

#include "fax_engine/receive/receive_machine.h"

#include <iterator>

#include "fax_engine/class1/frames.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/receive/receive_states.h"
#include "fax_engine/session/class2_reports.h"
#include "fax_engine/session/machine_steps.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/status_texts.h"
#include "platform/clock.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

using S = ReceiveState;
using O = ROutcome;

constexpr int kRetrainPauseMs = 200;
constexpr int32_t kHangUpWait = 54;  // ticks for the modem's OK to ATH

using StateInfo = ql::StateInfo<S, RStateUnit>;
using Transition = ql::Transition<S, O>;

constexpr StateInfo kStates[] = {
    {S::kStart, "start", Start, false, kNow},
    {S::kClass1Selected, "Class 1 selected", Class1Selected, true, kLines},
    {S::kClass2Selected, "Class 2 selected", Class2Selected, true, kLines},
    {S::kCapabilitiesSet, "capabilities set", CapabilitiesSet, true, kLines},
    {S::kFlowControlSet, "flow control set", FlowControlSet, true, kLines},
    {S::kReportsSet, "reports set", ReportsSet, true, kLines},
    {S::kWaitForCall, "waiting for a call", WaitForCall, true, kLines},
    {S::kAnswer, "answer", Answer, false, kNow},
    {S::kAnswered, "answered", Answered, true, kLines},
    {S::kSendDis, "send DIS", SendDis, true, kLines},
    {S::kAwaitDcs, "await DCS", AwaitDcs, true, kLines},
    {S::kAnswerRetry, "answer retry", AnswerRetry, false, kNow},
    {S::kRetryAnswer, "retry answer", RetryAnswer, false, kTrigger},
    {S::kTrainingCarrier, "training carrier", TrainingCarrier, true, kLines},
    {S::kTrainingCheck, "training check", TrainingCheck, false, kLines},
    {S::kSendFtt, "send FTT", SendFtt, true, kLines},
    {S::kTrainingEnded, "training ended", TrainingEnded, true, kLines},
    {S::kSendCfr, "send CFR", SendCfr, true, kLines},
    {S::kPageCarrier, "page carrier", PageCarrier, true, kLines},
    {S::kClass2Answered, "Class 2 answered", Class2Answered, true, kLines},
    {S::kClass2Negotiation, "Class 2 negotiation", Class2Negotiation, true, kLines},
    {S::kClass2AwaitPage, "Class 2 await page", Class2AwaitPage, true, kLines},
    {S::kPageStart, "page start", PageStart, false, kNow},
    {S::kPageData, "page data", PageData, false, kLines},
    {S::kPageCarrierEnded, "page carrier ended", PageCarrierEnded, true, kLines},
    {S::kPostPage, "post-page", PostPage, true, kLines},
    {S::kPageEnd, "page end", PageEnd, false, kNow},
    {S::kSendPageAnswer, "send page answer", SendPageAnswer, true, kLines},
    {S::kAwaitDcn, "await DCN", AwaitDcn, true, kLines},
    {S::kHangingUp, "hanging up", HangingUp, true, kLines},
    {S::kClass2PostPage, "Class 2 post-page", Class2PostPage, true, kLines},
    {S::kClass2HangUp, "Class 2 hang-up", Class2HangUp, true, kLines},
    {S::kCallDone, "call done", CallDone, false, kNow},
    {S::kError, "error", ErrorState, false, kNow},
    {S::kIdle, "idle", Idle, false, kTrigger},
};

const StateInfo& Info(S state) { return InfoOf(kStates, state); }

// ---- the transitions: every way from one state to another ----

constexpr S kAny = static_cast<S>(0);

constexpr Transition kTransitions[] = {
    // Whatever the state: an error ends the call; a frame asking for new training
    // waits for the far machine's next DCS.
    {kAny, O::kFailed, S::kError},
    {kAny, O::kRetrain, S::kAwaitDcs},
    {kAny, O::kFramesInstead, S::kAwaitDcs},

    // Setting the modem up for calls.
    {S::kStart, O::kClass1Chosen, S::kClass1Selected},
    {S::kStart, O::kClass2Chosen, S::kClass2Selected},
    {S::kClass1Selected, O::kOk, S::kWaitForCall},
    {S::kClass2Selected, O::kCapabilities20, S::kCapabilitiesSet},
    {S::kClass2Selected, O::kCapabilities2, S::kReportsSet},
    {S::kCapabilitiesSet, O::kOk, S::kFlowControlSet},
    {S::kFlowControlSet, O::kOk, S::kReportsSet},
    {S::kReportsSet, O::kOk, S::kWaitForCall},

    // Rings and the answer.
    {S::kWaitForCall, O::kRingAnswered, S::kAnswer},
    {S::kAnswer, O::kAnsweredClass1, S::kAnswered},
    {S::kAnswer, O::kAnsweredClass2, S::kClass2Answered},

    // Class 1: CSI and DIS, the far machine's DCS, answering again when it is silent.
    {S::kAnswered, O::kCsiSent, S::kSendDis},
    {S::kAnswered, O::kTimeoutRetry, S::kAnswerRetry},
    {S::kSendDis, O::kDisSent, S::kAwaitDcs},
    {S::kAwaitDcs, O::kTrainingExpected, S::kTrainingCarrier},
    {S::kAwaitDcs, O::kTimeoutRetry, S::kAnswerRetry},
    {S::kAnswerRetry, O::kRetried, S::kRetryAnswer},
    {S::kRetryAnswer, O::kRetryCommandSent, S::kAnswered},

    // Class 1: the training check, FTT or CFR.
    {S::kTrainingCarrier, O::kTrainingStarted, S::kTrainingCheck},
    {S::kTrainingCheck, O::kTrainingGood, S::kTrainingEnded},
    {S::kTrainingCheck, O::kTrainingBad, S::kSendFtt},
    {S::kSendFtt, O::kAwaitNewDcs, S::kAwaitDcs},
    {S::kTrainingEnded, O::kCfrCommandSent, S::kSendCfr},
    {S::kSendCfr, O::kPageExpected, S::kPageCarrier},
    {S::kPageCarrier, O::kPageCarrierUp, S::kPageStart},

    // Class 2 and 2.0: the modem negotiates; +FDR asks for each page.
    {S::kClass2Answered, O::kConnected, S::kClass2Negotiation},
    {S::kClass2Negotiation, O::kPageRequested, S::kClass2AwaitPage},
    {S::kClass2AwaitPage, O::kPageCarrierUp, S::kPageStart},

    // A page: its placeholder, its data.
    {S::kPageStart, O::kPageStarted, S::kPageData},
    {S::kPageData, O::kPageEndedClass1, S::kPageCarrierEnded},
    {S::kPageData, O::kPageEndedClass2, S::kClass2PostPage},

    // Class 1 after the page: MPS or EOP, MCF or RTN, DCN and the hang-up.
    {S::kPageCarrierEnded, O::kPostPageCommand, S::kPostPage},
    {S::kPostPage, O::kPostPageReceived, S::kPageEnd},
    {S::kPageEnd, O::kPageAnswered, S::kSendPageAnswer},
    {S::kSendPageAnswer, O::kNextPage, S::kPageCarrier},
    {S::kSendPageAnswer, O::kAwaitNewDcs, S::kAwaitDcs},
    {S::kSendPageAnswer, O::kLastPage, S::kAwaitDcn},
    {S::kAwaitDcn, O::kHangUpSent, S::kHangingUp},
    {S::kHangingUp, O::kHungUp, S::kCallDone},

    // Class 2 and 2.0 after the page: its status, what follows, the hang-up report.
    {S::kClass2PostPage, O::kNextPageClass2, S::kClass2AwaitPage},
    {S::kClass2PostPage, O::kDocumentEnded, S::kClass2HangUp},
    {S::kClass2HangUp, O::kCallEnded, S::kCallDone},

    // The end of a call and of the run.
    {S::kCallDone, O::kNextCall, S::kStart},
    {S::kCallDone, O::kEndRun, S::kIdle},
    {S::kError, O::kNextCall, S::kStart},
    {S::kError, O::kEndRun, S::kIdle},
};

void Transit(ReceiveSession& s, S from, O outcome) {
  if (outcome == O::kStay || outcome == O::kLeave || outcome == O::kToState) return;
  TakeTransition(s, s.state, kStates, kTransitions, from, outcome, kAny, S::kError);
}

// ---- the handling every line state shares ----

// A frame from the far machine (Class 1).
O FrameArrived(ReceiveSession& s) {
  const class1::DecodeResult r = class1::DecodeFrame(s, s.response.Frame());
  if (r.result == ecCancelRequested) {
    // DCN ends a call that is over; anywhere else the far machine gave up.
    if (StateOf(s) == S::kAwaitDcn) {
      s.common.LastError = 0;
      return O::kStay;
    }
    return Fail(s, ecCancelRequested);
  }
  if (r.retrain) {
    BusyDelay(kRetrainPauseMs);
    return Command(s, "AT+FRH=3", O::kRetrain);
  }
  return O::kStay;
}

// States where the modem answers the wait for a fast carrier with +FCERROR when the far
// machine sends frames instead: they take that line themselves.
bool StateWaitsForFastCarrier(S state) { return state == S::kTrainingCarrier || state == S::kPageCarrier; }
// States that receive frames: a frame the modem could not read (ERROR after it) is
// listened for again, as the far machine repeats a command that got no answer.
bool StateReceivesFrames(S state) { return state == S::kAwaitDcs || state == S::kPostPage || state == S::kAwaitDcn; }

O TimedOut(ReceiveSession& s, S state) {
  switch (state) {
    case S::kAnswered:
      if (s.modem.retryCount != 0) return O::kTimeoutRetry;
      return Fail(s, ecTimeout);
    case S::kAwaitDcs: return O::kTimeoutRetry;
    case S::kAwaitDcn:
      // The far machine ended the call without DCN: the line is ours to put down.
      if (const int rc = SendCommand(s, "ATH"); rc < 0) return Fail(s, rc);
      ArmTimeout(s, kHangUpWait);
      return O::kHangUpSent;
    default: return Fail(s, ecTimeout);
  }
}

O SharedLineHandling(ReceiveSession& s, EventKind event, RStateInput& in) {
  const S state = StateOf(s);
  if (event == EventKind::kTimeout) return TimedOut(s, state);
  if (event != EventKind::kData && event != EventKind::kStart) return O::kStay;
  const ResponseCollector::Item item = CollectResponse(s);
  if (item == ResponseCollector::Item::kNone) return O::kLeave;
  if (item == ResponseCollector::Item::kFrame) return FrameArrived(s);
  const std::string& line = s.response.Line();
  s.log.Response(SessionLog::Printable(line));
  if (line.find("ERROR") != std::string::npos) {
    if (StateWaitsForFastCarrier(state) && line.find("+FCERROR") != std::string::npos)
      return Command(s, "AT+FRH=3", O::kFramesInstead);
    if (StateReceivesFrames(state)) return Command(s, "AT+FRH=3", O::kStay);
    return Fail(s, ecFaxBadModemResult);
  }
  const std::string& hangUp = s.modem.commands.hangUp;
  if (!hangUp.empty() && line.find(hangUp) != std::string::npos && state != S::kClass2HangUp) {
    s.modem.HangupCode = HangupCodeFrom(line, hangUp);
    return Fail(s, ecFaxSessionError);
  }
  in.line = &line;
  return O::kToState;
}

// ---- an entry ----

void Step(ReceiveSession& s, EventKind event) {
  const S state = StateOf(s);
  const StateInfo& info = Info(state);
  RStateInput in{event, nullptr};
  if (info.sharedLineHandling) {
    const O shared = SharedLineHandling(s, event, in);
    if (shared != O::kToState) {
      Transit(s, state, shared);
      return;
    }
  }
  Transit(s, state, info.unit(s, in));
}

void BeginAbort(ReceiveSession& s) {
  if (StateOf(s) == S::kIdle) return;
  s.log.Note("cancelled by the user");
  s.common.FaxProgress = fpCancel;
  s.common.LastError = ecCancelRequested;
  s.aborted = true;
  s.state = static_cast<uint8_t>(S::kError);
}

void RunReceiveMachine(FaxSession& base, EventKind event) {
  auto& s = static_cast<ReceiveSession&>(base);
  if (StateOf(s) == S::kIdle) return;
  if (event == EventKind::kAbort || TakePendingAbort(s)) {
    BeginAbort(s);
    event = EventKind::kData;
  }
  RunSteps(
      s, event, [&](EventKind e) { Step(s, e); }, [&] { return Info(StateOf(s)).after; }, [&] { BeginAbort(s); });
}

}  // namespace

const char* StateName(ReceiveState state) { return Info(state).name; }

void ReceiveMachine(uintptr_t, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  EnterMachine(lParam, msg, wParam, RunReceiveMachine);
}

}  // namespace ql
