#include "tools/qlvmodem/class2_session.h"

#include <algorithm>
#include <cstdio>

#include "serial/dle/dle_codec.h"

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

bool IsPostPage(int code) { return code == fcf::kMps || code == fcf::kEom || code == fcf::kEop; }

// The copy check's verdict as the page status this modem answers with.
int StatusOfQuality(PageChecker::Quality quality) {
  return StatusOfResponse(quality == PageChecker::Quality::kGood   ? fcf::kMcf
                          : quality == PageChecker::Quality::kPoor ? fcf::kRtp
                                                                   : fcf::kRtn);
}
}  // namespace

Class2Session::Class2Session(Events& events, std::function<void(const std::string&)> trace,
                             std::function<void(const std::string&)> note)
    : events_(events), trace_(std::move(trace)), note_(std::move(note)) {}

Class2Session::~Class2Session() = default;

// --- call set-up and end ----------------------------------------------------------

// Everything a call learns starts afresh; the program's settings come with it.
void Class2Session::Connected(bool asCaller, const std::string& localId, const SessionParameters& local) {
  localId_ = localId;
  local_ = local;
  far_ = session_ = SessionParameters{};
  sessionChosen_ = trained_ = faxConnected_ = senderIdGiven_ = heardCarrier_ = lastFrameFinal_ = dcnSeen_ = false;
  farId_.clear();
  dis_.reset();
  dcs_.reset();
  lastFcf_ = postPage_ = pagesDone_ = pagesAccepted_ = finishCode_ = tries_ = 0;
  responseSent_ = 0;
  pageStatus_ = 1;
  closingOk_ = true;
  link_ = std::make_unique<Class1Link>();
  caller_ = asCaller;
  link_->Connected(asCaller);
  callStart_ = link_->Now();
  if (asCaller) {
    Enter(State::kAwaitDis, kT1);
  } else {
    disFrames_.clear();
    if (!localId_.empty()) disFrames_.push_back(MakeFrame(fcf::kCsi, IdFif(localId_), false));
    disFrames_.push_back(MakeFrame(fcf::kDis, DisFif(local_), true));
    sendQueue_ = disFrames_;
    Enter(State::kSendDis, kT1);
  }
  Pump();
}

void Class2Session::Cleared(bool byProgram) {
  if (link_ == nullptr) return;
  if (state_ == State::kClosing) {
    OnHook();
    events_.OnHook(closingOk_, false);
    return;
  }
  const int code = dcnSeen_ || state_ == State::kAwaitDcn ? hangup::kNormal : PhaseHangupCode();
  events_.SessionEnded(code);
  if (note_) note_(std::string("call cleared by ") + (byProgram ? "the program" : "the far end") + ", hang-up code " + std::to_string(code) + " (" + HangupText(code) + ")");
  OnHook();
  events_.OnHook(code == hangup::kNormal, false);
}

void Class2Session::ProgramLeft() {
  if (link_ == nullptr) return;
  if (note_ && state_ != State::kClosing)
    note_("session ended after " + std::to_string(pagesAccepted_) + " page(s) " + (caller_ ? "sent" : "received") +
          ": the program dropped the line");
  OnHook();
}

// The hang-up code of a call that broke off in the current phase.
int Class2Session::PhaseHangupCode() const {
  if (caller_) return pagesDone_ > 0 ? hangup::kTransmitPhaseD : hangup::kTransmitPhaseB;
  if (state_ == State::kReceivePage) return hangup::kReceivePhaseC;
  return pagesDone_ > 0 ? hangup::kReceivePhaseD : hangup::kReceivePhaseB;
}

// Reports how the call ended and hangs up after the last frame has had time to leave;
// the command the program waits on is answered once the modem is on hook, so the
// program may dial again at once. A call that ended in order (the program asked, or a
// receiving program's sender said DCN) answers OK whatever the code says; a command
// that could not do its work answers ERROR.
void Class2Session::Finish(int hangupCode, bool inOrder) {
  events_.SessionEnded(hangupCode);
  if (note_) {
    note_("session ended after " + std::to_string(pagesAccepted_) + " page(s) " + (caller_ ? "sent" : "received") +
          ", hang-up code " + std::to_string(hangupCode) + " (" + HangupText(hangupCode) + ")");
  }
  closingOk_ = inOrder || hangupCode == hangup::kNormal || hangupCode == hangup::kAborted;
  Enter(State::kClosing, kLinger);
}

void Class2Session::OnHook() {
  link_.reset();
  state_ = State::kIdle;
}

// A page's verdict, sent or received; pages are counted as the document counts them.
void Class2Session::NoteVerdict(const std::string& what, uint8_t response) {
  if (note_) note_(what + FrameName(response) + " at " + std::to_string(BitsPerSecond(session_.br)) + " bit/s");
  if (IsAccepted(response)) ++pagesAccepted_;
}

// --- requests of the program -------------------------------------------------------

// +FDT: the first page (or one after a rejection) starts with DCS and training; a page
// after an accepted one starts at once.
bool Class2Session::SendPage() {
  if (state_ != State::kReady) return false;
  if (trained_) {
    link_->Command("AT+FTM=" + std::to_string(modulation_.pageCode));
    Enter(State::kPageStart, kT2);
    return true;
  }
  SessionParameters chosen = local_.Common(far_);
  if (sessionChosen_) chosen.br = std::min(chosen.br, session_.br);  // keep a lower rate once fallen back
  session_ = chosen;
  sessionChosen_ = true;
  tries_ = 0;
  SendDcs();
  return true;
}

void Class2Session::PageBytes(const std::string& data) {
  if (state_ != State::kPageData) return;
  Enter(State::kPageData, kProgramSilence);  // the program is still there
  std::string bytes = data;
  Spoil(bytes, false);
  link_->SendData(bytes);
}

void Class2Session::PageDataEnd(int postPage) {
  if (state_ != State::kPageData) return;
  std::string none;
  Spoil(none, true);
  link_->EndData();
  postPage_ = postPage;
  Enter(State::kPageDrain);
}

size_t Class2Session::PageBytesWaiting() const { return link_ != nullptr ? link_->DataWaiting() : 0; }

// The post-page command, by +FET or by the DLE pair that ended a Class 2.0 page.
bool Class2Session::EndPage(int postPage) {
  if (state_ != State::kAwaitFet) return false;
  postPage_ = postPage;
  tries_ = 0;
  SendPostPage();
  return true;
}

// +FDR after a page: the answer the program (or the copy check) gave goes out.
void Class2Session::AnswerPage(int status) {
  if (state_ != State::kAwaitFdr) return;
  responseSent_ = ResponseOfStatus(status);
  NoteVerdict("page " + std::to_string(pagesAccepted_ + 1) + " received, answered ", responseSent_);
  Send(State::kSendPostPageResponse, {MakeFrame(responseSent_, {}, true)});
}

// +FKS: the far machine hears DCN when the line is free for it; in the middle of a
// transmission the call simply ends.
bool Class2Session::Abort() {
  if (link_ == nullptr || state_ == State::kClosing) return false;
  if (state_ == State::kReady || state_ == State::kAwaitFet || state_ == State::kAwaitFdr) {
    finishCode_ = hangup::kAborted;
    Send(State::kSendDcn, {MakeFrame(caller_ ? fcf::kDcn | 1 : fcf::kDcn, {}, true)});
    return true;
  }
  link_->Abort();
  Finish(hangup::kAborted);
  return true;
}

// --- line audio and the event pump -------------------------------------------------

void Class2Session::Transmit(int16_t* samples, int count) {
  if (link_ == nullptr) {
    std::fill(samples, samples + count, int16_t{0});
    return;
  }
  link_->Transmit(samples, count);
  Pump();
}

void Class2Session::Receive(int16_t* samples, int count) {
  if (link_ == nullptr) return;
  link_->Receive(samples, count);
  Pump();
  if (link_ != nullptr && deadline_ >= 0 && link_->Now() >= deadline_) {
    deadline_ = -1;
    OnTimeout();
    Pump();
  }
}

FastCarrier Class2Session::FastTransmission() const {
  return link_ != nullptr ? link_->FastTransmission() : FastCarrier{};
}

void Class2Session::Pump() {
  if (pumping_) return;  // events raised while one is handled wait for this loop
  pumping_ = true;
  while (link_ != nullptr && link_->HasEvent()) Step(link_->NextEvent());
  pumping_ = false;
}

void Class2Session::Enter(State state, double timeoutSeconds) {
  state_ = state;
  deadline_ = timeoutSeconds > 0 && link_ != nullptr
                  ? link_->Now() + static_cast<int64_t>(timeoutSeconds * kSamplesPerSecond)
                  : -1;
}

// Listens for frames; the time-out runs from now.
void Class2Session::Listen(State state, double timeoutSeconds) {
  link_->Command("AT+FRH=3");
  Enter(state, timeoutSeconds);
}

// Listens for the next frame of the same exchange: the time-out keeps running.
void Class2Session::ListenOn() { link_->Command("AT+FRH=3"); }

void Class2Session::Send(State state, std::vector<std::string> frames) {
  sendQueue_ = std::move(frames);
  link_->Command("AT+FTH=3");
  Enter(state, kT2);
}

void Class2Session::SendNextFrame() {
  if (sendQueue_.empty()) return;
  if (trace_) trace_("send frame " + DescribeFrame(sendQueue_.front()));
  link_->SendFrame(sendQueue_.front());
  sendQueue_.erase(sendQueue_.begin());
}

void Class2Session::SendDcs() {
  modulation_ = ModulationOf(session_.br);
  std::vector<std::string> frames;
  if (!localId_.empty()) frames.push_back(MakeFrame(fcf::kTsi | 1, IdFif(localId_), false));
  frames.push_back(MakeFrame(fcf::kDcs | 1, DcsFif(session_), true));
  Send(State::kSendDcs, std::move(frames));
}

void Class2Session::SendPostPage() {
  Send(State::kSendPostPage, {MakeFrame(static_cast<uint8_t>(postPage_ | 1), {}, true)});
}

// The sender did not hear this modem's answer to its page: it is said again.
void Class2Session::RepeatResponse() { Send(State::kSendPostPageResponse, {MakeFrame(responseSent_, {}, true)}); }

// Listens for the training check or a page at a modulation.
void Class2Session::ReceiveData(State state, int modulation) {
  link_->Command("AT+FRM=" + std::to_string(modulation));
  Enter(state, kT2);
}

void Class2Session::ReportFaxConnection() {
  if (faxConnected_) return;
  faxConnected_ = true;
  events_.FaxConnection();
}

// The page-rejection fault works on the stuffed stream, as a program writes it; it
// changes neither the length nor any DLE, so the data comes back whole.
void Class2Session::Spoil(std::string& data, bool ended) {
  if (!corrupter_.Armed()) return;
  std::string stuffed = ql::dle::Stuffed(data, ended);
  corrupter_.Process(reinterpret_cast<uint8_t*>(stuffed.data()), stuffed.size());
  data.clear();
  ql::dle::Unstuffer unstuffer;
  unstuffer.Take(stuffed, data);
}

// --- the state machine -------------------------------------------------------------

void Class2Session::TraceEvent(const Class1Link::Event& event) {
  using Kind = Class1Link::Event::Kind;
  std::string shown = event.kind == Kind::kLine ? event.text : std::to_string(event.text.size()) + " bytes";
  if (event.kind == Kind::kFrame) shown = "frame " + DescribeFrame(event.text) + (event.good ? "" : " (bad)");
  if (event.kind == Kind::kDataEnd) shown = "end of data";
  char time[32];
  std::snprintf(time, sizeof time, "%.2f", static_cast<double>(link_->Now()) / kSamplesPerSecond);
  trace_(std::string(time) + " s, " + kStateNames[static_cast<int>(state_)] + ": " + shown);
}

void Class2Session::Step(const Class1Link::Event& event) {
  using Kind = Class1Link::Event::Kind;
  if (trace_) TraceEvent(event);
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
        if (state_ == State::kAwaitDis) ReportFaxConnection();
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
        Enter(State::kPageData, kProgramSilence);
        events_.PageCarrierUp();
      }
      return;

    case State::kPageDrain:
      if (!IsLine(event, "OK")) return;
      ++pagesDone_;
      if (postPage_ == 0) {
        Enter(State::kAwaitFet);  // DLE ETX: the program names what follows with +FET
        events_.PageSent(true);
      } else {
        events_.PageSent(false);
        tries_ = 0;
        SendPostPage();
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
        checker_.StartPage(session_.vr == 1, session_.df == 1, session_.wd);
        Enter(State::kReceivePage);
        events_.PageArriving();
      } else if (IsLine(event, "+FCERROR")) {
        Listen(State::kAwaitDcs, kT4);  // the sender retrains, or missed the CFR
      }
      return;

    case State::kReceivePage:
      if (event.kind == Kind::kData || event.kind == Kind::kDataEnd) {
        const bool ended = event.kind == Kind::kDataEnd;
        std::string bytes = event.text;
        Spoil(bytes, ended);
        checker_.Put(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        if (!bytes.empty()) events_.PageData(bytes);
        if (ended) {
          pageStatus_ = StatusOfQuality(checker_.EndPage());
          events_.PageArrived(pageStatus_);
        }
      }
      if (IsLine(event, "NO CARRIER")) {
        ++pagesDone_;
        Listen(State::kAwaitPostPage, kT2);
      }
      return;
  }
}

// Frames as they arrive, in any listening state. What they mean for the state is
// decided when the exchange of frames is complete (ExchangeReceived).
void Class2Session::FrameArrived(const std::string& frame) {
  lastFrameFinal_ = FrameIsFinal(frame);
  const uint8_t code = FrameFcf(frame) & 0xFE;
  if (code == fcf::kDcn) {
    dcnSeen_ = true;
    lastFrameFinal_ = true;
  }
  if (state_ == State::kAwaitDis) {
    if (code == fcf::kCsi) farId_ = IdFromFrame(frame);
    if (code == fcf::kDis) dis_ = ParseDis(frame);
  }
  if (state_ == State::kAwaitDcs) {
    if (code == fcf::kTsi) farId_ = IdFromFrame(frame);
    if (code == fcf::kDcs) {
      auto chosen = ParseDcs(frame);
      auto modulation = DcsModulation(frame);
      if (chosen && modulation) {
        dcs_ = chosen;
        modulation_ = *modulation;
      }
    }
    if (IsPostPage(code)) postPage_ = code;
  }
  lastFcf_ = code;
}

// A complete exchange of frames (its final frame and OK) has arrived.
void Class2Session::ExchangeReceived() {
  if (lastFcf_ == fcf::kDcn) {
    // The far machine ends the call: after the last page that is the normal end.
    Finish(state_ == State::kAwaitDcn ? hangup::kNormal : PhaseHangupCode(), !caller_);
    return;
  }
  switch (state_) {
    case State::kAwaitDis:
      if (lastFcf_ != fcf::kDis || !dis_) {
        ListenOn();
        return;
      }
      far_ = *dis_;
      dis_.reset();
      ReportFaxConnection();
      Enter(State::kReady);
      events_.FarCapabilities(farId_, far_);
      return;

    case State::kAwaitCfr:
      if (lastFcf_ == fcf::kCfr) {
        trained_ = true;
        events_.ParametersChosen(session_);
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
        SendPostPage();
      } else if (IsPostPageResponse(static_cast<uint8_t>(lastFcf_))) {
        PostPageResponse(static_cast<uint8_t>(lastFcf_));
      } else {
        ListenOn();
      }
      return;

    case State::kAwaitDcs:
      if (lastFcf_ == fcf::kDcs && dcs_) {
        session_ = *dcs_;
        dcs_.reset();
        ReportFaxConnection();
        if (!farId_.empty() && !senderIdGiven_) {
          senderIdGiven_ = true;
          events_.SenderId(farId_);
        }
        events_.ParametersChosen(session_);
        trainingBytes_ = trainingNonZero_ = 0;
        ReceiveData(State::kReceiveTraining, modulation_.trainingCode);
      } else if (IsPostPage(lastFcf_) && responseSent_ != 0) {
        RepeatResponse();
      } else {
        ListenOn();
      }
      return;

    case State::kAwaitPostPage:
      if (!IsPostPage(lastFcf_)) {
        ListenOn();
        return;
      }
      postPage_ = lastFcf_;
      responseSent_ = 0;
      Enter(State::kAwaitFdr);
      events_.PostPageCommand(postPage_);
      return;

    case State::kAwaitDcn:
      if (IsPostPage(lastFcf_))
        RepeatResponse();
      else
        ListenOn();
      return;

    default:
      return;
  }
}

// The frames of a +FTH have gone.
void Class2Session::FramesSent() {
  switch (state_) {
    case State::kSendDcs:
      link_->Command("AT+FTM=" + std::to_string(modulation_.trainingCode));
      Enter(State::kSendTraining, kT2);
      return;
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
      ReceiveData(State::kAwaitPage, modulation_.pageCode);  // CFR: the page follows
      events_.ReadyToReceive();
      return;
    case State::kSendPostPageResponse:
      if (responseSent_ == fcf::kRtn || responseSent_ == fcf::kPin) {
        Listen(State::kAwaitDcs, kT4);  // the sender trains again before the page
      } else if (postPage_ == fcf::kMps) {
        ReceiveData(State::kAwaitPage, modulation_.pageCode);
      } else if (postPage_ == fcf::kEom) {
        senderIdGiven_ = false;
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
void Class2Session::TrainingVerdict() {
  const int enough = BitsPerSecond(session_.br) / 16;
  const bool good = trainingBytes_ >= enough && trainingNonZero_ * 100 / trainingBytes_ < 10;
  responseSent_ = good ? fcf::kCfr : fcf::kFtt;
  Send(State::kSendTrainingVerdict, {MakeFrame(responseSent_, {}, true)});
}

// The far machine's answer to a sent page.
void Class2Session::PostPageResponse(uint8_t response) {
  NoteVerdict("page " + std::to_string(pagesAccepted_ + 1) + " answered ", response);
  const int status = StatusOfResponse(response);
  if (response != fcf::kMcf) trained_ = false;  // the next page starts with training again
  if (!IsAccepted(response)) {
    // The program decides: the page again (+FDT) or the end (+FKS).
    Enter(State::kReady);
    events_.PageAnswered(status, true);
    return;
  }
  if (postPage_ == fcf::kEop) {
    finishCode_ = hangup::kNormal;
    events_.PageAnswered(status, false);
    Send(State::kSendDcn, {MakeFrame(fcf::kDcn | 1, {}, true)});
    return;
  }
  if (postPage_ == fcf::kEom) {
    // A new document: the far machine sends its capabilities again.
    trained_ = false;
    dis_.reset();
    events_.PageAnswered(status, false);
    Listen(State::kAwaitDis, kT1);
    return;
  }
  Enter(State::kReady);
  events_.PageAnswered(status, true);
}

void Class2Session::OnTimeout() {
  switch (state_) {
    case State::kClosing:
      OnHook();
      events_.OnHook(closingOk_, true);
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
        Finish(postPage_ == fcf::kMps   ? hangup::kNoMpsResponse
               : postPage_ == fcf::kEom ? hangup::kNoEomResponse
                                        : hangup::kNoEopResponse);
      } else {
        SendPostPage();
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
