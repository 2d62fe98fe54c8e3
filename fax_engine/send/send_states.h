#pragma once
// Inside the send machine: its states, the outcomes a state reports, and the state
// units. A state unit does its state's work (commands, frames, page data) and names what
// happened; the machine (send_machine.cpp) alone decides from that outcome which state
// comes next.

#include <cstdint>
#include <string>

#include "fax_engine/session/session_run.h"

namespace ql {

struct SendSession;

enum class SendState : uint8_t {
  kNextFax = 1,
  kPrepareFax = 2,
  kClass1Selected = 3,        // wait OK
  kClass2Selected = 4,        // wait OK, then the local ID
  kLocalIdSet20 = 5,          // wait OK, then +FLO (Class 2.0)
  kFlowControlSet = 6,        // wait OK, then +FNR (Class 2.0)
  kReportsSet = 7,            // wait OK, then the session parameters
  kSessionParametersSet = 8,  // wait OK
  kDial = 9,
  kRedialWait = 10,
  kClass1DialResult = 11,
  kSendTsi = 12,
  kSendDcs = 13,
  kDcsSent = 14,
  kSendTraining = 15,
  kTrainingSent = 16,
  kTrainingResponse = 17,
  kPageCarrier = 18,
  kClass2DialResult = 19,
  kClass2Negotiation = 20,
  kAwaitXon = 21,
  kAwaitRoom = 22,
  kPageHeader = 23,
  kOpenCover = 24,
  kTextCover = 25,
  kStartApfPage = 26,
  kApfPage = 27,
  kAwaitDrained = 28,
  kPageDataSent = 29,
  kPostPageCommand = 30,
  kSendPostPage = 31,
  kPostPageSent = 32,
  kPostPageResponse = 34,
  kSendDcn = 35,
  kDcnSent = 36,
  kHangingUp = 37,
  kClass2PageEnd = 38,
  kClass2PageEndOk = 39,
  kClass2PageStatus = 40,
  kRetransmit = 41,
  kClass2NextPage = 42,
  kClass20PageStatus = 43,
  kFaxDone = 44,
  kAllDone = 45,
  kError = 46,
  kIdle = 47,
};

// What a state (or the handling every line state shares) reports.
enum class Outcome {
  kStay,                // nothing for this state yet: keep waiting
  kLeave,               // no complete answer yet: leave the machine
  kToState,             // the shared line handling hands the line to the state
  kFailed,              // the error is reported: the fax ends
  kNoMoreFaxes,
  kFaxReady,
  kClass1Chosen,
  kClass2Chosen,
  kOk,                  // a wait-OK state got its OK
  kLocalIdSet2,         // Class 2 goes on with the session parameters
  kLocalIdSet20,        // Class 2.0 goes on with flow control
  kDialledClass1,
  kDialledClass2,
  kRedial,
  kBusyRetry,
  kBusyGiveUp,          // all dial attempts busy: the next fax
  kConnected,           // Class 2 connect report
  kParametersReceived,  // the far machine's DIS
  kTsiSent,
  kDcsSent,
  kTrainingStarted,
  kTrainingSent,
  kAwaitingResponse,
  kTrained,             // CFR
  kTrainAgain,          // no CFR, or a retrain asked for: DCS and training again
  kPageCarrierUp,       // Class 1 CONNECT for the page, or Class 2 CONNECT (XON follows)
  kReadyForData,        // Class 2.0 CONNECT, or XON seen
  kRoom,
  kHeaderWithCover,
  kHeaderWithPage,
  kApfCoverOpened,
  kTextCoverOpened,
  kPageStarted,
  kPageDataQueued,      // the page's data is all on its way
  kClass1PageDrained,
  kClass2PageDrained,
  kPageAcknowledged,
  kPostPageRetry,
  kPostPageCommandReady,
  kPostPageFrameSent,
  kAwaitPostPageResponse,
  kNextPageClass1,      // MCF with more pages
  kNextPageRetrain,     // RTP with more pages
  kLastPageAccepted,
  kDcnFrameSent,
  kHangUpSent,
  kHungUp,
  kPageEndSent2,
  kPageEndSent20,
  kPageStatusAsked,
  kPageGood,
  kPageBad,
  kResend,
  kNextPageClass2,
  kFaxComplete,
  kFinished,
  kNextFax,
  kEndRun,
};

const char* StateName(SendState state);

// What a state sees on a run: the event, and for line states the complete line.
struct StateInput {
  EventKind event = EventKind::kData;
  const std::string* line = nullptr;  // a complete modem line, else null

  bool Has(const char* text) const { return line != nullptr && line->find(text) != std::string::npos; }
  bool IsLine() const { return line != nullptr; }
};

using StateUnit = Outcome (*)(SendSession& s, const StateInput& in);

// ---- small actions the states share ----

SendState StateOf(const SendSession& s);
// Reports the error; the fax ends.
Outcome Fail(SendSession& s, int code);
void SetProgress(SendSession& s, int progress, bool force = true);
// Time-out trigger for TransmitWait ticks; output-free trigger for 4096 bytes free;
// output-drained trigger for an empty buffer.
void ArmTransmit(SendSession& s);
void ArmRoom(SendSession& s);
void ArmDrained(SendSession& s);
// The line was acted on: it does not stay in place for the next one.
void UseLine(SendSession& s);
// Reads and drops what the modem sent (during page data).
void DiscardInput(SendSession& s);
bool IsClass1(const SendSession& s);

// Busy line or no answer: redial, or give up after DialAttempts.
Outcome BusyHandling(SendSession& s);

// ---- the state units, one a state ----
Outcome NextFax(SendSession& s, const StateInput& in);
Outcome PrepareFax(SendSession& s, const StateInput& in);
Outcome Class1Selected(SendSession& s, const StateInput& in);
Outcome Class2Selected(SendSession& s, const StateInput& in);
Outcome LocalIdSet20(SendSession& s, const StateInput& in);
Outcome FlowControlSet(SendSession& s, const StateInput& in);
Outcome ReportsSet(SendSession& s, const StateInput& in);
Outcome SessionParametersSet(SendSession& s, const StateInput& in);
Outcome Dial(SendSession& s, const StateInput& in);
Outcome RedialWait(SendSession& s, const StateInput& in);

Outcome Class1DialResult(SendSession& s, const StateInput& in);
Outcome SendTsi(SendSession& s, const StateInput& in);
Outcome SendDcs(SendSession& s, const StateInput& in);
Outcome DcsSent(SendSession& s, const StateInput& in);
Outcome SendTraining(SendSession& s, const StateInput& in);
Outcome TrainingSent(SendSession& s, const StateInput& in);
Outcome TrainingResponse(SendSession& s, const StateInput& in);
Outcome PageCarrier(SendSession& s, const StateInput& in);
Outcome PageDataSent(SendSession& s, const StateInput& in);
Outcome PostPageCommand(SendSession& s, const StateInput& in);
Outcome SendPostPage(SendSession& s, const StateInput& in);
Outcome PostPageSent(SendSession& s, const StateInput& in);
Outcome PostPageResponse(SendSession& s, const StateInput& in);
Outcome SendDcn(SendSession& s, const StateInput& in);
Outcome DcnSent(SendSession& s, const StateInput& in);
Outcome HangingUp(SendSession& s, const StateInput& in);

Outcome Class2DialResult(SendSession& s, const StateInput& in);
Outcome Class2Negotiation(SendSession& s, const StateInput& in);
Outcome Class2PageEnd(SendSession& s, const StateInput& in);
Outcome Class2PageEndOk(SendSession& s, const StateInput& in);
Outcome Class2PageStatus(SendSession& s, const StateInput& in);
Outcome Retransmit(SendSession& s, const StateInput& in);
Outcome Class2NextPage(SendSession& s, const StateInput& in);
Outcome Class20PageStatus(SendSession& s, const StateInput& in);

Outcome AwaitXon(SendSession& s, const StateInput& in);
Outcome AwaitRoom(SendSession& s, const StateInput& in);
Outcome PageHeader(SendSession& s, const StateInput& in);
Outcome OpenCoverPage(SendSession& s, const StateInput& in);
Outcome TextCover(SendSession& s, const StateInput& in);
Outcome StartApfPage(SendSession& s, const StateInput& in);
Outcome ApfPage(SendSession& s, const StateInput& in);
Outcome AwaitDrained(SendSession& s, const StateInput& in);

Outcome FaxDone(SendSession& s, const StateInput& in);
Outcome AllDone(SendSession& s, const StateInput& in);
Outcome ErrorState(SendSession& s, const StateInput& in);
Outcome Idle(SendSession& s, const StateInput& in);

}  // namespace ql
