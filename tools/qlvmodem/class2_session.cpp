// The fax session of a Class 2/2.0 modem: T.30 phases B to E on the modem's own
// Class 1 layer. Step is the one place that decides transitions; each state's part of
// it reads on its own. Time-outs are in line time, so they hold at any line speed.

#include <algorithm>
#include <cstdio>

#include "tools/qlvmodem/class2_engine.h"
#include "tools/qlvmodem/dte_bytes.h"

namespace ql::vmodem {

namespace {
constexpr int kSamplesPerSecond = 8000;
constexpr double kT1 = 35;  // the whole of phase B
constexpr double kT2 = 6;   // waiting for a command or a page
constexpr double kT4 = 3;   // waiting for a response
constexpr double kTraining = 1.5;  // the training check: zeros for this long
constexpr double kLinger = 0.5;    // on the line after the last frame, before hanging up
constexpr int kTries = 3;

const char* const kStateNames[] = {
    "idle",          "await DIS",        "ready",        "send DCS",      "send training",
    "await CFR",     "page start",       "page data",    "page drain",    "await +FET",
    "send post-page", "await response",  "send DCN",     "send DIS",      "await DCS",
    "receive training", "send verdict",  "await page",   "receive page",  "await post-page",
    "await +FDR",    "send response",    "await DCN",    "closing"};

bool IsLine(const Class1Link::Event& event, const char* text) {
  return event.kind == Class1Link::Event::Kind::kLine && event.text == text;
}
}  // namespace

// --- call set-up and end ----------------------------------------------------------

// Everything a call learns starts afresh; the program's settings stay.
void Class2Engine::Note(const std::string& text) {
  if (hooks_.note) hooks_.note(text);
}

// A page's verdict, sent or received; pages are counted as the document counts them.
void Class2Engine::NoteVerdict(const std::string& what, uint8_t response) {
  Note(what + ResponseName(response) + " at " + std::to_string(BitsPerSecond(session_.br)) + " bit/s");
  if (response == fcf::kMcf || response == fcf::kRtp || response == fcf::kPip) ++pagesAccepted_;
}

void Class2Engine::ResetCall() {
  far_ = SessionParameters{};
  session_ = SessionParameters{};
  sessionChosen_ = false;
  farId_.clear();
  disSeen_ = dcsSeen_ = trained_ = fconGiven_ = tsiGiven_ = heardCarrier_ = lastFrameFinal_ = dcnSeen_ = false;
  lastFcf_ = postPage_ = pagesDone_ = pagesAccepted_ = finishCode_ = tries_ = 0;
  responseSent_ = 0;
  lastPageStatus_ = 1;
  pageStatusSetting_ = 0;
  dle_ = false;
  pageIn_.clear();
  pageStarted_ = pageEnded_ = pageDelivered_ = pageReported_ = postPageKnown_ = false;
  fdrPending_ = awaitingDc2_ = programReady_ = false;
}

void Class2Engine::Connected(bool asCaller) {
  ResetCall();
  link_ = std::make_unique<Class1Link>();
  caller_ = asCaller;
  link_->Connected(asCaller);
  callStart_ = link_->Now();
  commandPending_ = true;  // the ATD or ATA that made the call
  if (asCaller) {
    Enter(State::kAwaitDis, kT1);
  } else {
    std::vector<std::string> frames;
    if (!localId_.empty()) frames.push_back(MakeFrame(fcf::kCsi, IdFif(localId_), false));
    frames.push_back(MakeFrame(fcf::kDis, DisFif(local_), true));
    disFrames_ = frames;
    sendQueue_ = frames;
    Enter(State::kSendDis, kT1);
  }
  Pump();
}

void Class2Engine::Cleared() {
  if (link_ == nullptr) return;
  if (state_ == State::kClosing) {
    OnHook();
    if (commandPending_) FinalResult(closingOk_);
    return;
  }
  int code = hangup::kNormal;
  if (!dcnSeen_ && state_ != State::kAwaitDcn) {
    if (caller_)
      code = pagesDone_ > 0 ? hangup::kTransmitPhaseD : hangup::kTransmitPhaseB;
    else
      code = state_ == State::kReceivePage ? hangup::kReceivePhaseC
             : pagesDone_ > 0              ? hangup::kReceivePhaseD
                                           : hangup::kReceivePhaseB;
  }
  Report("+FHNG", "+FHS", std::to_string(code));
  Note("call cleared by the far end, hang-up code " + std::to_string(code));
  OnHook();
  if (commandPending_) FinalResult(code == hangup::kNormal);
}

// Reports how the call ended and hangs up after the last frame has had time to leave;
// the command the program waits on is answered once the modem is on hook, so the
// program may dial again at once. A call that ended in order (the program asked, or a
// receiving program's sender said DCN) answers OK whatever the code says; a command
// that could not do its work answers ERROR.
void Class2Engine::Finish(int hangupCode, bool inOrder) {
  Report("+FHNG", "+FHS", std::to_string(hangupCode));
  Note("session ended, hang-up code " + std::to_string(hangupCode));
  closingOk_ = inOrder || hangupCode == hangup::kNormal || hangupCode == hangup::kAborted;
  awaitingDc2_ = programReady_ = false;
  Enter(State::kClosing, kLinger);
}

void Class2Engine::OnHook() {
  link_.reset();
  state_ = State::kIdle;
  awaitingDc2_ = programReady_ = false;
}

// --- line audio and the event pump -------------------------------------------------

void Class2Engine::Transmit(int16_t* samples, int count) {
  if (link_ == nullptr) {
    std::fill(samples, samples + count, int16_t{0});
    return;
  }
  link_->Transmit(samples, count);
  Pump();
}

void Class2Engine::Receive(int16_t* samples, int count) {
  if (link_ == nullptr) return;
  link_->Receive(samples, count);
  Pump();
  if (link_ != nullptr && deadline_ >= 0 && link_->Now() >= deadline_) {
    deadline_ = -1;
    OnTimeout();
    Pump();
  }
}

FastCarrier Class2Engine::FastTransmission() const {
  return link_ != nullptr ? link_->FastTransmission() : FastCarrier{};
}

void Class2Engine::Pump() {
  if (pumping_) return;  // events raised while one is handled wait for this loop
  pumping_ = true;
  while (link_ != nullptr && link_->HasEvent()) Step(link_->NextEvent());
  pumping_ = false;
}

void Class2Engine::Enter(State state, double timeoutSeconds) {
  state_ = state;
  deadline_ = timeoutSeconds > 0 && link_ != nullptr
                  ? link_->Now() + static_cast<int64_t>(timeoutSeconds * kSamplesPerSecond)
                  : -1;
}

// Listens for frames; the time-out runs from now.
void Class2Engine::Listen(State state, double timeoutSeconds) {
  link_->Command("AT+FRH=3");
  Enter(state, timeoutSeconds);
}

// Listens for the next frame of the same exchange: the time-out keeps running.
void Class2Engine::ListenOn() { link_->Command("AT+FRH=3"); }

void Class2Engine::Send(State state, std::vector<std::string> frames) {
  sendQueue_ = std::move(frames);
  link_->Command("AT+FTH=3");
  Enter(state, kT2);
}

void Class2Engine::SendNextFrame() {
  if (sendQueue_.empty()) return;
  link_->SendFrame(sendQueue_.front());
  sendQueue_.erase(sendQueue_.begin());
}

// --- the state machine -------------------------------------------------------------

void Class2Engine::Step(const Class1Link::Event& event) {
  using Kind = Class1Link::Event::Kind;
  if (hooks_.trace) {
    std::string shown = event.kind == Kind::kLine ? event.text : std::to_string(event.text.size()) + " bytes";
    if (event.kind == Kind::kFrame) shown = "frame " + std::to_string(FrameFcf(event.text)) + (event.good ? "" : " (bad)");
    if (event.kind == Kind::kDataEnd) shown = "end of data";
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", static_cast<double>(link_->Now()) / kSamplesPerSecond);
    hooks_.trace(std::string(time) + " s, " + kStateNames[static_cast<int>(state_)] + ": " + shown);
  }
  if (event.kind == Kind::kFrame) {
    if (event.good) FrameArrived(event.text);
    return;
  }
  switch (state_) {
    case State::kIdle:
    case State::kClosing:
    case State::kReady:
    case State::kAwaitFet:
    case State::kAwaitFdr:
    case State::kPageData:
      return;  // waiting for the program, not the line

    // Frames going out: CONNECT asks for the next, OK says the last has gone.
    case State::kSendDcs:
    case State::kSendPostPage:
    case State::kSendDcn:
    case State::kSendDis:
    case State::kSendTrainingVerdict:
    case State::kSendPostPageResponse:
      if (IsLine(event, "CONNECT")) SendNextFrame();
      if (IsLine(event, "OK")) FramesSent();
      return;

    // Frames coming in: OK after a frame; the exchange ends with a final frame.
    case State::kAwaitDis:
    case State::kAwaitCfr:
    case State::kAwaitPostPageResponse:
    case State::kAwaitDcs:
    case State::kAwaitPostPage:
    case State::kAwaitDcn:
      if (IsLine(event, "CONNECT")) {
        if (state_ == State::kAwaitDis && !fconGiven_) {
          fconGiven_ = true;
          Line(v20_ ? "+FCO" : "+FCON");
        }
        heardCarrier_ = true;
        return;
      }
      if (IsLine(event, "OK") || IsLine(event, "ERROR") || IsLine(event, "NO CARRIER")) {
        heardCarrier_ = false;
        if (IsLine(event, "OK") && lastFrameFinal_) {
          lastFrameFinal_ = false;
          ExchangeReceived();
        } else {
          ListenOn();
        }
      }
      return;

    case State::kSendTraining:
      if (IsLine(event, "CONNECT")) {
        const size_t zeros = static_cast<size_t>(kTraining * BitsPerSecond(session_.br) / 8);
        link_->SendData(std::string(zeros, '\0'));
        link_->EndData();
      }
      if (IsLine(event, "OK")) Listen(State::kAwaitCfr, kT4);
      return;

    case State::kPageStart:
      if (IsLine(event, "CONNECT")) {
        Line("CONNECT");
        if (!v20_) hooks_.emit(std::string(1, static_cast<char>(kXon)));  // send now
        dle_ = false;
        Enter(State::kPageData, kProgramSilence);
      }
      return;

    case State::kPageDrain:
      if (!IsLine(event, "OK")) return;
      ++pagesDone_;
      if (postPage_ == 0) {
        // DLE ETX: the program names what follows with +FET.
        FinalResult(true);
        Enter(State::kAwaitFet);
      } else {
        EndOfPageCommand(postPage_);
      }
      return;

    case State::kReceiveTraining:
      if (event.kind == Kind::kData) {
        trainingBytes_ += static_cast<int>(event.text.size());
        trainingNonZero_ += static_cast<int>(std::count_if(event.text.begin(), event.text.end(), [](char c) { return c != 0; }));
      } else if (IsLine(event, "+FCERROR")) {
        ListenOn();  // a frame where the training should be: the sender repeats its command
        Enter(State::kAwaitDcs, kT4);
      } else if (IsLine(event, "NO CARRIER")) {
        TrainingVerdict();
      }
      return;

    case State::kAwaitPage:
      if (IsLine(event, "CONNECT")) {
        pageStarted_ = true;
        pageEnded_ = pageDelivered_ = postPageKnown_ = pageReported_ = false;
        pageIn_.clear();
        checker_.StartPage(session_.vr == 1, session_.df == 1, session_.wd);
        Enter(State::kReceivePage);
        if (fdrPending_) {
          fdrPending_ = false;
          Line("CONNECT");
          awaitingDc2_ = true;
        }
      } else if (IsLine(event, "+FCERROR")) {
        Listen(State::kAwaitDcs, kT4);  // the sender retrains, or missed the CFR
      }
      return;

    case State::kReceivePage:
      if (event.kind == Kind::kData) PageArrived(event.text, false);
      if (event.kind == Kind::kDataEnd) PageArrived({}, true);
      if (IsLine(event, "NO CARRIER")) {
        ++pagesDone_;
        Listen(State::kAwaitPostPage, kT2);
      }
      return;
  }
}

// Frames as they arrive, in any listening state. What they mean for the state is
// decided when the exchange of frames is complete (ExchangeReceived).
void Class2Engine::FrameArrived(const std::string& frame) {
  lastFrameFinal_ = FrameIsFinal(frame);
  const uint8_t code = FrameFcf(frame) & 0xFE;
  if (code == fcf::kDcn) {
    dcnSeen_ = true;
    lastFrameFinal_ = true;
  }
  switch (state_) {
    case State::kAwaitDis:
      if (code == fcf::kCsi) farId_ = IdFromFrame(frame);
      if (code == fcf::kDis) {
        if (auto offered = ParseDis(frame)) {
          far_ = *offered;
          disSeen_ = true;
        }
      }
      break;
    case State::kAwaitDcs:
      if (code == fcf::kTsi) farId_ = IdFromFrame(frame);
      if (code == fcf::kDcs) {
        auto chosen = ParseDcs(frame);
        auto modulation = DcsModulation(frame);
        if (chosen && modulation) {
          session_ = *chosen;
          modulation_ = *modulation;
          dcsSeen_ = true;
        }
      }
      if (code == fcf::kMps || code == fcf::kEom || code == fcf::kEop) postPage_ = code;
      break;
    default:
      break;
  }
  lastFcf_ = code;
}

// A complete exchange of frames (its final frame and OK) has arrived.
void Class2Engine::ExchangeReceived() {
  if (lastFcf_ == fcf::kDcn) {
    // The far machine ends the call: after the last page that is the normal end.
    Finish(state_ == State::kAwaitDcn ? hangup::kNormal
           : caller_                 ? (pagesDone_ > 0 ? hangup::kTransmitPhaseD : hangup::kTransmitPhaseB)
                                     : (pagesDone_ > 0 ? hangup::kReceivePhaseD : hangup::kReceivePhaseB),
           !caller_);
    return;
  }
  switch (state_) {
    case State::kAwaitDis:
      if (lastFcf_ != fcf::kDis || !disSeen_) {
        ListenOn();
        return;
      }
      // +FCSI and +FDIS tell the program what the far machine is and can take.
      if (!fconGiven_) {
        fconGiven_ = true;
        Line(v20_ ? "+FCO" : "+FCON");
      }
      if (!farId_.empty()) Report("+FCSI", "+FCI", "\"" + farId_ + "\"");
      Report("+FDIS", "+FIS", far_.Text());
      if (commandPending_) FinalResult(true);
      Enter(State::kReady);
      return;

    case State::kAwaitCfr:
      if (lastFcf_ == fcf::kCfr) {
        trained_ = true;
        Report("+FDCS", "+FCS", session_.Text());
        link_->Command("AT+FTM=" + std::to_string(modulation_.pageCode));
        Enter(State::kPageStart, kT2);
      } else if (lastFcf_ == fcf::kFtt) {
        if (session_.br == 0) {
          Finish(hangup::kTrainingFailed);
          return;
        }
        --session_.br;  // the next rate down
        tries_ = 0;
        SendDcs();
      } else if (lastFcf_ == fcf::kCrp) {
        SendDcs();
      } else {
        ListenOn();  // a DIS repeated while the program prepared its page: old news
      }
      return;

    case State::kAwaitPostPageResponse:
      if (lastFcf_ == fcf::kCrp) {
        Send(State::kSendPostPage, {MakeFrame(static_cast<uint8_t>(postPage_ | 1), {}, true)});
      } else if (lastFcf_ == fcf::kMcf || lastFcf_ == fcf::kRtp || lastFcf_ == fcf::kRtn ||
                 lastFcf_ == fcf::kPip || lastFcf_ == fcf::kPin) {
        PostPageResponse(static_cast<uint8_t>(lastFcf_));
      } else {
        ListenOn();
      }
      return;

    case State::kAwaitDcs:
      if (lastFcf_ == fcf::kDcs && dcsSeen_) {
        dcsSeen_ = false;
        if (!fconGiven_) {
          fconGiven_ = true;
          Line(v20_ ? "+FCO" : "+FCON");
        }
        if (!farId_.empty() && !tsiGiven_) {
          tsiGiven_ = true;
          Report("+FTSI", "+FTI", "\"" + farId_ + "\"");
        }
        Report("+FDCS", "+FCS", session_.Text());
        trainingBytes_ = trainingNonZero_ = 0;
        link_->Command("AT+FRM=" + std::to_string(modulation_.trainingCode));
        Enter(State::kReceiveTraining, kT2);
      } else if ((lastFcf_ == fcf::kMps || lastFcf_ == fcf::kEom || lastFcf_ == fcf::kEop) && responseSent_ != 0) {
        // The sender did not hear our answer to its page: say it again.
        Send(State::kSendPostPageResponse, {MakeFrame(responseSent_, {}, true)});
      } else {
        ListenOn();
      }
      return;

    case State::kAwaitPostPage:
      if (lastFcf_ == fcf::kMps || lastFcf_ == fcf::kEom || lastFcf_ == fcf::kEop) {
        postPage_ = lastFcf_;
        postPageKnown_ = true;
        responseSent_ = 0;
        Enter(State::kAwaitFdr);
        ReportReceivedPage();
      } else {
        ListenOn();
      }
      return;

    case State::kAwaitDcn:
      if (lastFcf_ == fcf::kEop || lastFcf_ == fcf::kMps || lastFcf_ == fcf::kEom)
        Send(State::kSendPostPageResponse, {MakeFrame(responseSent_, {}, true)});
      else
        ListenOn();
      return;

    default:
      return;
  }
}

// The frames of a +FTH have gone.
void Class2Engine::FramesSent() {
  switch (state_) {
    case State::kSendDcs: {
      link_->Command("AT+FTM=" + std::to_string(modulation_.trainingCode));
      Enter(State::kSendTraining, kT2);
      return;
    }
    case State::kSendPostPage:
      Listen(State::kAwaitPostPageResponse, kT4);
      return;
    case State::kSendDcn:
      Finish(finishCode_);
      return;
    case State::kSendDis:
      Listen(State::kAwaitDcs, kT4);
      return;
    case State::kSendTrainingVerdict:
      if (responseSent_ == fcf::kFtt) {
        Listen(State::kAwaitDcs, kT4);
        return;
      }
      // CFR: the page follows. The answer's OK tells the program the call is set up.
      if (commandPending_ && !fdrPending_) FinalResult(true);
      link_->Command("AT+FRM=" + std::to_string(modulation_.pageCode));
      Enter(State::kAwaitPage, kT2);
      return;
    case State::kSendPostPageResponse:
      if (responseSent_ == fcf::kRtn || responseSent_ == fcf::kPin) {
        Listen(State::kAwaitDcs, kT4);  // the sender trains again before the page
      } else if (postPage_ == fcf::kMps) {
        link_->Command("AT+FRM=" + std::to_string(modulation_.pageCode));
        Enter(State::kAwaitPage, kT2);
      } else if (postPage_ == fcf::kEom) {
        tsiGiven_ = false;
        Send(State::kSendDis, disFrames_);
      } else {
        Listen(State::kAwaitDcn, kT2);
      }
      return;
    default:
      return;
  }
}

// The training check has ended: good when nearly all of at least half its length
// arrived as zeros.
void Class2Engine::TrainingVerdict() {
  const int enough = BitsPerSecond(session_.br) / 16;
  const bool good = trainingBytes_ >= enough && trainingNonZero_ * 100 / trainingBytes_ < 10;
  responseSent_ = good ? fcf::kCfr : fcf::kFtt;
  Send(State::kSendTrainingVerdict, {MakeFrame(responseSent_, {}, true)});
}

// +FDT: the first page (or one after a rejection) starts with DCS and training;
// a page after an accepted one starts at once.
void Class2Engine::StartPage() {
  if (trained_) {
    link_->Command("AT+FTM=" + std::to_string(modulation_.pageCode));
    Enter(State::kPageStart, kT2);
    return;
  }
  SessionParameters chosen = local_.Common(far_);
  if (sessionChosen_) chosen.br = std::min(chosen.br, session_.br);  // keep a lower rate once fallen back
  session_ = chosen;
  sessionChosen_ = true;
  tries_ = 0;
  SendDcs();
}

void Class2Engine::SendDcs() {
  modulation_ = ModulationOf(session_.br);
  std::vector<std::string> frames;
  if (!localId_.empty()) frames.push_back(MakeFrame(fcf::kTsi | 1, IdFif(localId_), false));
  frames.push_back(MakeFrame(fcf::kDcs | 1, DcsFif(session_), true));
  Send(State::kSendDcs, std::move(frames));
}

// The post-page command, by +FET or by the DLE pair that ended a Class 2.0 page.
void Class2Engine::EndOfPageCommand(int postPage) {
  postPage_ = postPage;
  tries_ = 0;
  Send(State::kSendPostPage, {MakeFrame(static_cast<uint8_t>(postPage | 1), {}, true)});
}

void Class2Engine::PostPageResponse(uint8_t response) {
  lastPageStatus_ = response == fcf::kMcf ? 1 : response == fcf::kRtn ? 2 : response == fcf::kRtp ? 3
                    : response == fcf::kPin ? 4 : 5;
  NoteVerdict("page " + std::to_string(pagesAccepted_ + 1) + " answered ", response);
  const bool accepted = response == fcf::kMcf || response == fcf::kRtp || response == fcf::kPip;
  if (response != fcf::kMcf) trained_ = false;  // the next page starts with training again
  if (!v20_) Report("+FPTS", "+FPS", std::to_string(lastPageStatus_));
  if (!accepted) {
    // The program decides: the page again (+FDT) or the end (+FKS).
    FinalResult(!v20_);
    Enter(State::kReady);
    return;
  }
  if (postPage_ == fcf::kEop) {
    finishCode_ = hangup::kNormal;
    Send(State::kSendDcn, {MakeFrame(fcf::kDcn | 1, {}, true)});
    return;
  }
  if (postPage_ == fcf::kEom) {
    // A new document: the far machine sends its capabilities again.
    disSeen_ = trained_ = false;
    Listen(State::kAwaitDis, kT1);
    return;
  }
  FinalResult(true);
  Enter(State::kReady);
}

// +FKS: the far machine hears DCN when the line is free for it; in the middle of a
// transmission the call simply ends.
void Class2Engine::AbortSession() {
  if (state_ == State::kReady || state_ == State::kAwaitFet || state_ == State::kAwaitFdr) {
    finishCode_ = hangup::kAborted;
    Send(State::kSendDcn, {MakeFrame(caller_ ? fcf::kDcn | 1 : fcf::kDcn, {}, true)});
    return;
  }
  link_->Abort();
  Finish(hangup::kAborted);
}

void Class2Engine::OnTimeout() {
  switch (state_) {
    case State::kClosing:
      OnHook();
      hooks_.hangUp();
      if (commandPending_) FinalResult(closingOk_);
      return;
    case State::kAwaitDis:
      if (heardCarrier_) break;
      link_->Abort();
      Finish(hangup::kNoAnswer);
      return;
    case State::kAwaitCfr:
      if (heardCarrier_) break;
      link_->Abort();
      if (++tries_ >= kTries) {
        Finish(hangup::kNoDcsResponse);
      } else {
        SendDcs();
      }
      return;
    case State::kAwaitPostPageResponse:
      if (heardCarrier_) break;
      link_->Abort();
      if (++tries_ >= kTries) {
        Finish(postPage_ == fcf::kMps ? hangup::kNoMpsResponse
               : postPage_ == fcf::kEom ? hangup::kNoEomResponse
                                        : hangup::kNoEopResponse);
      } else {
        Send(State::kSendPostPage, {MakeFrame(static_cast<uint8_t>(postPage_ | 1), {}, true)});
      }
      return;
    case State::kAwaitDcs:
      if (heardCarrier_) break;
      link_->Abort();
      if (link_->Now() - callStart_ >= static_cast<int64_t>(kT1 * kSamplesPerSecond) && pagesDone_ == 0) {
        Finish(hangup::kNoCommand);
      } else if (pagesDone_ > 0 && responseSent_ != fcf::kRtn) {
        Finish(hangup::kNoCommand);
      } else {
        Send(State::kSendDis, disFrames_);  // say it again: the caller may have missed it
      }
      return;
    case State::kAwaitPage:
    case State::kReceiveTraining:
      link_->Abort();
      Finish(hangup::kNoPage);
      return;
    case State::kPageData:
      // The modem has been filling the line for a minute: the page cannot end well.
      Finish(hangup::kDataUnderflow);
      return;
    case State::kAwaitPostPage:
      if (heardCarrier_) break;
      link_->Abort();
      Finish(hangup::kReceivePhaseD);
      return;
    case State::kAwaitDcn:
      if (heardCarrier_) break;
      link_->Abort();
      Finish(hangup::kNormal);  // the pages are in; a missing DCN changes nothing
      return;
    default:
      // A modem that never finished a command: the call cannot go on.
      link_->Abort();
      Finish(caller_ ? hangup::kTransmitPhaseB : hangup::kReceivePhaseB);
      return;
  }
  // A frame is arriving just now: give it the time to end.
  Enter(state_, kT4);
}

}  // namespace ql::vmodem
