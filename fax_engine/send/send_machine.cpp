// The send machine: how an entry runs, the handling every line state shares, and the
// one table that decides, from a state and the outcome its unit reported, which state
// comes next. The state units live beside this file, grouped by phase.

#include "fax_engine/send/send_machine.h"

#include <iterator>

#include "fax_engine/class1/fcf.h"
#include "fax_engine/class1/frames.h"
#include "fax_engine/class1/speed_choice.h"
#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/class2_reports.h"
#include "fax_engine/session/machine_steps.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/status_texts.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dle/dle_codec.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

using S = SendState;
using O = Outcome;

using StateInfo = ql::StateInfo<S, StateUnit>;
using Transition = ql::Transition<S, O>;

constexpr StateInfo kStates[] = {
    {S::kNextFax, "next fax", NextFax, false, kNow},
    {S::kPrepareFax, "prepare fax", PrepareFax, false, kNow},
    {S::kClass1Selected, "Class 1 selected", Class1Selected, true, kLines},
    {S::kClass2Selected, "Class 2 selected", Class2Selected, true, kLines},
    {S::kLocalIdSet20, "local ID set", LocalIdSet20, true, kLines},
    {S::kFlowControlSet, "flow control set", FlowControlSet, true, kLines},
    {S::kReportsSet, "reports set", ReportsSet, true, kLines},
    {S::kSessionParametersSet, "session parameters set", SessionParametersSet, true, kLines},
    {S::kDial, "dial", Dial, false, kNow},
    {S::kRedialWait, "redial wait", RedialWait, false, kTrigger},
    {S::kClass1DialResult, "Class 1 dial result", Class1DialResult, true, kLines},
    {S::kSendTsi, "send TSI", SendTsi, true, kLines},
    {S::kSendDcs, "send DCS", SendDcs, true, kLines},
    {S::kDcsSent, "DCS sent", DcsSent, true, kLines},
    {S::kSendTraining, "send training", SendTraining, true, kLines},
    {S::kTrainingSent, "training sent", TrainingSent, true, kLines},
    {S::kTrainingResponse, "training response", TrainingResponse, true, kLines},
    {S::kPageCarrier, "page carrier", PageCarrier, true, kLines},
    {S::kClass2DialResult, "Class 2 dial result", Class2DialResult, true, kLines},
    {S::kClass2Negotiation, "Class 2 negotiation", Class2Negotiation, true, kLines},
    // An XON that came with the CONNECT is already waiting: it is read at once.
    {S::kAwaitXon, "wait for XON", AwaitXon, false, kLines},
    {S::kAwaitRoom, "wait for room", AwaitRoom, false, kTrigger},
    {S::kPageHeader, "page header", PageHeader, false, kNow},
    {S::kOpenCover, "open cover", OpenCoverPage, false, kNow},
    {S::kTextCover, "text cover", TextCover, false, kTrigger},
    {S::kStartApfPage, "start page", StartApfPage, false, kNow},
    {S::kApfPage, "page data", ApfPage, false, kTrigger},
    {S::kAwaitDrained, "wait drained", AwaitDrained, false, kTrigger},
    {S::kPageDataSent, "page data sent", PageDataSent, true, kLines},
    {S::kPostPageCommand, "post-page command", PostPageCommand, false, kNow},
    {S::kSendPostPage, "send post-page", SendPostPage, true, kLines},
    {S::kPostPageSent, "post-page sent", PostPageSent, true, kLines},
    {S::kPostPageResponse, "post-page response", PostPageResponse, true, kLines},
    {S::kSendDcn, "send DCN", SendDcn, true, kLines},
    {S::kDcnSent, "DCN sent", DcnSent, true, kLines},
    {S::kHangingUp, "hanging up", HangingUp, true, kLines},
    {S::kClass2PageEnd, "Class 2 page end", Class2PageEnd, false, kNow},
    {S::kClass2PageEndOk, "Class 2 page end OK", Class2PageEndOk, true, kLines},
    {S::kClass2PageStatus, "Class 2 page status", Class2PageStatus, true, kLines},
    {S::kRetransmit, "retransmit", Retransmit, true, kLines},
    {S::kClass2NextPage, "Class 2 next page", Class2NextPage, false, kNow},
    {S::kClass20PageStatus, "Class 2.0 page status", Class20PageStatus, true, kLines},
    {S::kFaxDone, "fax done", FaxDone, false, kNow},
    {S::kAllDone, "all done", AllDone, false, kNow},
    {S::kError, "error", ErrorState, false, kNow},
    {S::kIdle, "idle", Idle, false, kTrigger},
};

const StateInfo& Info(S state) { return InfoOf(kStates, state); }

// ---- the transitions: every way from one state to another ----

constexpr S kAny = static_cast<S>(0);

constexpr Transition kTransitions[] = {
    // Whatever the state: an error ends the fax; a retrain asked for by a frame (FTT,
    // RTN) sends DCS and training again at the lower rate.
    {kAny, O::kFailed, S::kError},
    {kAny, O::kTrainAgain, S::kSendDcs},

    {S::kNextFax, O::kNoMoreFaxes, S::kAllDone},
    {S::kNextFax, O::kFaxReady, S::kPrepareFax},
    {S::kPrepareFax, O::kClass1Chosen, S::kClass1Selected},
    {S::kPrepareFax, O::kClass2Chosen, S::kClass2Selected},

    // Setting the modem up for the call.
    {S::kClass1Selected, O::kOk, S::kDial},
    {S::kClass2Selected, O::kLocalIdSet20, S::kLocalIdSet20},
    {S::kClass2Selected, O::kLocalIdSet2, S::kReportsSet},
    {S::kLocalIdSet20, O::kOk, S::kFlowControlSet},
    {S::kFlowControlSet, O::kOk, S::kReportsSet},
    {S::kReportsSet, O::kOk, S::kSessionParametersSet},
    {S::kSessionParametersSet, O::kOk, S::kDial},

    // Dialling, busy lines and redials.
    {S::kDial, O::kDialledClass1, S::kClass1DialResult},
    {S::kDial, O::kDialledClass2, S::kClass2DialResult},
    {S::kRedialWait, O::kRedial, S::kDial},
    {S::kClass1DialResult, O::kBusyRetry, S::kRedialWait},
    {S::kClass1DialResult, O::kBusyGiveUp, S::kNextFax},
    {S::kClass2DialResult, O::kBusyRetry, S::kRedialWait},
    {S::kClass2DialResult, O::kBusyGiveUp, S::kNextFax},

    // Class 1: the far machine's parameters, our TSI and DCS, the training check.
    {S::kClass1DialResult, O::kParametersReceived, S::kSendTsi},
    {S::kSendTsi, O::kTsiSent, S::kSendDcs},
    {S::kSendDcs, O::kDcsSent, S::kDcsSent},
    {S::kDcsSent, O::kTrainingStarted, S::kSendTraining},
    {S::kSendTraining, O::kTrainingSent, S::kTrainingSent},
    {S::kTrainingSent, O::kAwaitingResponse, S::kTrainingResponse},
    {S::kTrainingResponse, O::kTrained, S::kPageCarrier},
    {S::kPageCarrier, O::kReadyForData, S::kAwaitRoom},

    // Class 2 and 2.0: the modem negotiates; CONNECT starts the page.
    {S::kClass2DialResult, O::kConnected, S::kClass2Negotiation},
    {S::kClass2Negotiation, O::kPageCarrierUp, S::kAwaitXon},
    {S::kClass2Negotiation, O::kReadyForData, S::kAwaitRoom},

    // A page: header line, cover or fax page, data, drain.
    {S::kAwaitXon, O::kReadyForData, S::kAwaitRoom},
    {S::kAwaitRoom, O::kRoom, S::kPageHeader},
    {S::kPageHeader, O::kHeaderWithCover, S::kOpenCover},
    {S::kPageHeader, O::kHeaderWithPage, S::kStartApfPage},
    {S::kOpenCover, O::kApfCoverOpened, S::kStartApfPage},
    {S::kOpenCover, O::kTextCoverOpened, S::kTextCover},
    {S::kTextCover, O::kPageDataQueued, S::kAwaitDrained},
    {S::kStartApfPage, O::kPageStarted, S::kApfPage},
    {S::kApfPage, O::kPageDataQueued, S::kAwaitDrained},
    {S::kAwaitDrained, O::kClass1PageDrained, S::kPageDataSent},
    {S::kAwaitDrained, O::kClass2PageDrained, S::kClass2PageEnd},

    // Class 1 after the page: MPS or EOP, the far machine's answer, DCN and hang-up.
    {S::kPageDataSent, O::kPageAcknowledged, S::kPostPageCommand},
    {S::kPostPageCommand, O::kPostPageCommandReady, S::kSendPostPage},
    {S::kSendPostPage, O::kPostPageFrameSent, S::kPostPageSent},
    {S::kPostPageSent, O::kAwaitPostPageResponse, S::kPostPageResponse},
    {S::kPostPageResponse, O::kPostPageRetry, S::kPostPageCommand},
    {S::kPostPageResponse, O::kNextPageClass1, S::kPageCarrier},
    {S::kPostPageResponse, O::kNextPageRetrain, S::kSendDcs},
    {S::kPostPageResponse, O::kLastPageAccepted, S::kSendDcn},
    {S::kSendDcn, O::kDcnFrameSent, S::kDcnSent},
    {S::kDcnSent, O::kHangUpSent, S::kHangingUp},
    {S::kHangingUp, O::kHungUp, S::kFaxDone},

    // Class 2 and 2.0 after the page: the page status, retransmission, the next page.
    {S::kClass2PageEnd, O::kPageEndSent2, S::kClass2PageEndOk},
    {S::kClass2PageEnd, O::kPageEndSent20, S::kClass20PageStatus},
    {S::kClass2PageEndOk, O::kPageStatusAsked, S::kClass2PageStatus},
    {S::kClass2PageStatus, O::kPageGood, S::kClass2NextPage},
    {S::kClass2PageStatus, O::kPageBad, S::kRetransmit},
    {S::kClass20PageStatus, O::kPageGood, S::kClass2NextPage},
    {S::kClass20PageStatus, O::kPageBad, S::kRetransmit},
    {S::kRetransmit, O::kResend, S::kClass2Negotiation},
    {S::kClass2NextPage, O::kNextPageClass2, S::kClass2Negotiation},
    {S::kClass2NextPage, O::kFaxComplete, S::kFaxDone},

    // The end of a fax and of the run.
    {S::kFaxDone, O::kNextFax, S::kNextFax},
    {S::kAllDone, O::kFinished, S::kIdle},
    {S::kError, O::kNextFax, S::kNextFax},
    {S::kError, O::kEndRun, S::kIdle},
};

void Transit(SendSession& s, S from, O outcome) {
  if (outcome == O::kStay || outcome == O::kLeave || outcome == O::kToState) return;
  TakeTransition(s, s.state, kStates, kTransitions, from, outcome, kAny, S::kError);
}

// ---- the handling every line state shares ----

// A frame from the far machine (Class 1).
Outcome FrameArrived(SendSession& s) {
  const class1::DecodeResult r = class1::DecodeFrame(s, s.response.Frame());
  if (r.result == ecCancelRequested || r.result == ecFaxBadMachine) return Fail(s, r.result);
  if (!r.retrain) return O::kStay;
  if (StateOf(s) == S::kPostPageResponse && fcf::Is(s.modem.lastFcf, fcf::kRtn)) {
    // The page was rejected: it goes again, from its own start, after the new training.
    if (++s.retransmissions > s.maxRetransmissions) return Fail(s, ecFaxSessionError);
    if (const int rc = RewindPage(s); rc < 0) return Fail(s, rc);
    s.log.Note("page rejected: sent again (" + std::to_string(s.retransmissions) + " of " +
               std::to_string(s.maxRetransmissions) + ")");
  }
  if (!class1::StepDown(s)) return Fail(s, ecFaxTrainError);
  SendCommand(s, "AT+FTH=3");
  return O::kTrainAgain;
}

// Reads modem input into the response until a line or a frame is complete.
bool StateTakesErrorItself(S state) {
  return state == S::kSendPostPage || state == S::kPostPageResponse || state == S::kClass20PageStatus;
}

bool StateTakesHangUpReport(S state) { return state == S::kClass2PageStatus || state == S::kClass20PageStatus; }

Outcome SharedLineHandling(SendSession& s, EventKind event, StateInput& in) {
  const S state = StateOf(s);
  if (event == EventKind::kTimeout) {
    if (state == S::kPostPageResponse) {
      // No answer to MPS/EOP: a character ends the modem's wait; the command is repeated.
      WriteChar(s.common.portHandle, ' ');
      return O::kPostPageRetry;
    }
    if (state == S::kHangingUp) {
      HangUpSend(s);
      return O::kHungUp;
    }
    return Fail(s, ecTimeout);
  }
  if (event != EventKind::kData) return O::kStay;
  const ResponseCollector::Item item = CollectResponse(s);
  if (item == ResponseCollector::Item::kNone) return O::kLeave;
  if (item == ResponseCollector::Item::kFrame) return FrameArrived(s);
  const std::string& line = s.response.Line();
  s.log.Response(SessionLog::Printable(line));
  if (line.find("ERROR") != std::string::npos && !StateTakesErrorItself(state)) return Fail(s, ecFaxBadModemResult);
  const std::string& hangUp = s.modem.commands.hangUp;
  if (!hangUp.empty() && line.find(hangUp) != std::string::npos && !StateTakesHangUpReport(state)) {
    s.modem.HangupCode = HangupCodeFrom(line, hangUp);
    return Fail(s, ecFaxBadModemResult);
  }
  in.line = &line;
  return O::kToState;
}

// ---- an entry ----

void Step(SendSession& s, EventKind event) {
  const S state = StateOf(s);
  const StateInfo& info = Info(state);
  StateInput in{event, nullptr};
  if (info.sharedLineHandling) {
    const Outcome shared = SharedLineHandling(s, event, in);
    if (shared != O::kToState) {
      Transit(s, state, shared);
      return;
    }
  }
  Transit(s, state, info.unit(s, in));
}

// Page data in the modem's data mode is ended before the call is hung up, so the modem
// listens to commands again.
void EndDataMode(SendSession& s) {
  const S state = StateOf(s);
  const bool inData = (state >= S::kAwaitXon && state <= S::kAwaitDrained) ||
                      (IsClass1(s) && (state == S::kSendTraining || state == S::kTrainingSent));
  if (!inData) return;
  const int port = s.common.portHandle;
  FlushOutput(port);
  s.pendingOutput.clear();
  if (s.common.FaxClass == fcClass2_0)
    WriteString(port, std::string{static_cast<char>(dle::kDle), '.'});
  else
    WriteString(port, dle::EndPair());
}

void BeginAbort(SendSession& s) {
  const S state = StateOf(s);
  if (state == S::kAllDone || state == S::kError || state == S::kIdle) return;
  s.log.Note("cancelled by the user");
  EndDataMode(s);
  s.common.FaxProgress = fpCancel;
  s.common.LastError = ecCancelRequested;
  s.aborted = true;
  s.state = static_cast<uint8_t>(S::kError);
}

void RunSendMachine(FaxSession& base, EventKind event) {
  auto& s = static_cast<SendSession&>(base);
  if (StateOf(s) == S::kError || StateOf(s) == S::kIdle) return;
  if (event == EventKind::kAbort || TakePendingAbort(s)) {
    BeginAbort(s);
    event = EventKind::kData;
  }
  RunSteps(
      s, event, [&](EventKind e) { Step(s, e); }, [&] { return Info(StateOf(s)).after; }, [&] { BeginAbort(s); });
}

}  // namespace

const char* StateName(SendState state) { return Info(state).name; }

void SendMachine(uintptr_t, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  EnterMachine(lParam, msg, wParam, RunSendMachine);
}

}  // namespace ql
