#pragma once
// The fax session of a Class 2/2.0 modem: T.30 phases B to E run by the modem itself on
// a Class 1 layer of its own (Class1Link), so the far machine hears an ordinary fax call.
// It knows nothing of AT commands or DLE: the program's side (Class2Engine) asks it to
// act (a page to send, the answer to a received page, the end) and hears what happens
// through Events. The state changes only in Step (each event of the Class 1 layer, with
// ExchangeReceived and FramesSent for a complete exchange of frames), OnTimeout and the
// requests of the program; each is one switch over the states.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/qlvmodem/class1_link.h"
#include "tools/qlvmodem/page_codec.h"
#include "tools/qlvmodem/page_corrupter.h"
#include "tools/qlvmodem/t30_frames.h"

namespace ql::vmodem {

class Class2Session {
 public:
  // What the program's side hears, in the order it happens.
  struct Events {
    virtual ~Events() = default;
    // The far machine is heard (+FCON), once a call.
    virtual void FaxConnection() = 0;
    // Calling: the far machine's ID (empty when it sent none) and capabilities; the
    // session now waits for a page to send.
    virtual void FarCapabilities(const std::string& farId, const SessionParameters& offered) = 0;
    // Answering: the sender's ID, once a document.
    virtual void SenderId(const std::string& farId) = 0;
    // The parameters chosen (+FDCS): before a page is sent, or as the sender chose them.
    virtual void ParametersChosen(const SessionParameters& chosen) = 0;
    // Calling: the page carrier is up, page data may come.
    virtual void PageCarrierUp() = 0;
    // Calling: the page has gone; in Class 2 the program now names what follows.
    virtual void PageSent(bool awaitPostPage) = 0;
    // Calling: the far machine's answer to the page, as +FPTS status; `goesOn` when the
    // session now waits for the next page (or the program's decision after a rejection).
    virtual void PageAnswered(int status, bool goesOn) = 0;
    // Answering: the training was confirmed, a page follows.
    virtual void ReadyToReceive() = 0;
    // Answering: a page carrier started, its data as it arrives, its end.
    virtual void PageArriving() = 0;
    virtual void PageData(const std::string& bytes) = 0;
    virtual void PageArrived(int status) = 0;
    // Answering: the sender's post-page command (MPS, EOM, EOP) after the page.
    virtual void PostPageCommand(int postPage) = 0;
    // The session has ended with a +FHNG code; the modem goes on hook shortly.
    virtual void SessionEnded(int hangupCode) = 0;
    // On hook: the command the program waits on gets `ok`, and the call is cleared.
    virtual void OnHook(bool ok, bool clearCall) = 0;
  };

  Class2Session(Events& events, std::function<void(const std::string&)> trace,
                std::function<void(const std::string&)> note);
  ~Class2Session();
  Class2Session(const Class2Session&) = delete;
  Class2Session& operator=(const Class2Session&) = delete;

  // What the program set for the call: its ID and capabilities (+FLID, +FDIS/+FDCC).
  void Connected(bool asCaller, const std::string& localId, const SessionParameters& local);
  // The far end cleared the call or the line dropped (or the program hung up: ATH, DTR).
  void Cleared(bool byProgram = false);
  // The program dropped DTR or closed the port: the session ends without a word to it.
  void ProgramLeft();
  bool InCall() const { return link_ != nullptr; }
  bool Caller() const { return caller_; }

  // Requests of the program; each returns false when the session cannot take it now.
  bool SendPage();                         // +FDT
  bool EndPage(int postPage);              // +FET (MPS, EOM, EOP) after a page
  void PageBytes(const std::string& data);  // page data as the program sent it, unstuffed
  void PageDataEnd(int postPage);          // the program ended the page (0: +FET follows)
  size_t PageBytesWaiting() const;
  bool AwaitingAnswer() const { return state_ == State::kAwaitFdr; }
  void AnswerPage(int status);             // +FDR after a received page: its +FPTS status
  bool Abort();                            // +FKS
  bool SendingPage() const { return state_ == State::kPageData; }

  // The page-rejection fault: the first page of the next call is spoilt on its way.
  void SpoilFirstPage(bool spoil) { corrupter_.Arm(spoil); }

  void Transmit(int16_t* samples, int count);
  void Receive(int16_t* samples, int count);
  FastCarrier FastTransmission() const;

 private:
  enum class State {
    kIdle,
    // Calling: the program sends.
    kAwaitDis,               // listening for the far machine's NSF, CSI and DIS
    kReady,                  // waiting for +FDT (or +FKS)
    kSendDcs,                // TSI and DCS going out
    kSendTraining,           // the training check going out
    kAwaitCfr,               // the far machine's verdict on the training
    kPageStart,              // the page carrier is starting
    kPageData,               // the program's page data goes to the line
    kPageDrain,              // the program has ended the page; the line is finishing it
    kAwaitFet,               // Class 2: the page has gone, the post-page command is awaited
    kSendPostPage,           // MPS, EOM or EOP going out
    kAwaitPostPageResponse,  // MCF, RTP or RTN
    kSendDcn,                // the call's last frame
    // Answering: the program receives.
    kSendDis,                // CSI and DIS going out
    kAwaitDcs,               // TSI and DCS, or DCN
    kReceiveTraining,        // the training check arriving
    kSendTrainingVerdict,    // CFR or FTT going out
    kAwaitPage,              // the page carrier is awaited
    kReceivePage,            // page data arriving
    kAwaitPostPage,          // MPS, EOM or EOP
    kAwaitFdr,               // the program is to say +FDR before the answer goes out
    kSendPostPageResponse,   // MCF, RTN ... going out
    kAwaitDcn,               // after the last page's MCF
    kClosing,                // the call has ended; the line is cleared shortly
  };

  void Pump();
  void Step(const Class1Link::Event& event);
  void TraceEvent(const Class1Link::Event& event);
  void FrameArrived(const std::string& frame);
  void ExchangeReceived();
  void FramesSent();
  void OnTimeout();
  void Enter(State state, double timeoutSeconds = 0);
  void Listen(State state, double timeoutSeconds);
  void ListenOn();
  void Send(State state, std::vector<std::string> frames);
  void SendNextFrame();
  void SendDcs();
  void SendPostPage();
  void RepeatResponse();
  void ReceiveData(State state, int modulation);
  void ReportFaxConnection();
  void PostPageResponse(uint8_t response);
  void TrainingVerdict();
  void Spoil(std::string& data, bool ended);
  int PhaseHangupCode() const;
  void Finish(int hangupCode, bool inOrder = false);
  void OnHook();
  void NoteVerdict(const std::string& what, uint8_t response);

  static constexpr double kProgramSilence = 60;  // seconds: a program stopped mid-page

  Events& events_;
  std::function<void(const std::string&)> trace_;
  std::function<void(const std::string&)> note_;
  std::unique_ptr<Class1Link> link_;
  State state_ = State::kIdle;
  int64_t deadline_ = -1;  // line time (samples) of the current state's time-out
  int64_t callStart_ = 0;
  int tries_ = 0;
  bool caller_ = false;
  bool pumping_ = false;

  // The program's settings for this call.
  std::string localId_;
  SessionParameters local_;

  // What the call has learnt.
  SessionParameters far_;          // what the far machine offers (its DIS)
  SessionParameters session_;      // what was chosen (the DCS)
  Modulation modulation_{96, 96};  // of the chosen rate (V.17 or V.29 at 9600 and 7200)
  bool sessionChosen_ = false;     // a rate was chosen (and is not raised again after a fallback)
  bool trained_ = false;           // the current rate has been trained and not lost
  bool faxConnected_ = false;      // +FCON has been reported
  bool senderIdGiven_ = false;     // +FTSI has been reported for this document
  bool heardCarrier_ = false;      // a frame is arriving
  std::string farId_;
  std::vector<std::string> disFrames_;  // CSI and DIS of an answering modem
  std::vector<std::string> sendQueue_;  // frames of the current +FTH
  std::optional<SessionParameters> dis_;  // the far machine's DIS of this exchange
  std::optional<SessionParameters> dcs_;  // the sender's DCS of this exchange
  int lastFcf_ = 0;                // of the last frame received (X bit cleared)
  bool lastFrameFinal_ = false;
  bool dcnSeen_ = false;
  int postPage_ = 0;               // MPS, EOM or EOP of the current page (0: by +FET)
  uint8_t responseSent_ = 0;       // CFR/FTT or MCF/RTN/... this modem answered with
  int pagesDone_ = 0;              // page transmissions, sent again or not
  int pagesAccepted_ = 0;
  int pageStatus_ = 1;             // the copy check's +FPTS status of the last received page
  int finishCode_ = 0;
  bool closingOk_ = true;          // the final result once the call is cleared
  PageCorrupter corrupter_;
  PageChecker checker_;
  int trainingBytes_ = 0;
  int trainingNonZero_ = 0;
};

}  // namespace ql::vmodem
