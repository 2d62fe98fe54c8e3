#pragma once
// The Class 2 and Class 2.0 command sets of a virtual modem. The program speaks +F
// commands and reads +F reports; the modem runs T.30 itself, on a Class 1 layer of its
// own (Class1Link), so the far machine hears an ordinary fax call. Pages stream both
// ways as they go: what the program writes after CONNECT goes to the line at the
// line's pace, what arrives is handed to the program as it comes (Class 2 in reversed
// bit order, Class 2.0 as sent), and each page's outcome is the far machine's answer.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/qlvmodem/class1_link.h"
#include "tools/qlvmodem/page_codec.h"
#include "tools/qlvmodem/page_corrupter.h"
#include "tools/qlvmodem/t30_frames.h"

namespace ql::vmodem {

class Class2Engine {
 public:
  struct Hooks {
    std::function<void(const std::string&)> emit;  // bytes to the program
    std::function<void()> hangUp;                   // clear the call
    std::function<void(const std::string&)> trace;  // the session's steps, when wanted
    std::function<void(const std::string&)> note;   // page verdicts and the end, for the call log
  };
  Class2Engine(bool version20, Hooks hooks);
  ~Class2Engine();
  Class2Engine(const Class2Engine&) = delete;
  Class2Engine& operator=(const Class2Engine&) = delete;

  bool Version20() const { return v20_; }
  // A normalised command line ("AT+FDT"). Returns false when it holds no +F command,
  // so the basic AT interpreter takes it; otherwise the answer has been written.
  bool Command(const std::string& command);

  // Bytes from the program while a page is being sent or received.
  bool WantsData() const;
  // Takes what it can of `bytes` and returns how many it took (0: full for now).
  size_t Data(const uint8_t* bytes, size_t length);

  // The ordered page-rejection fault: the first page of the next call is spoilt on its
  // way, so it is rejected with RTN: by the far machine when the program sends, by this
  // modem's own copy check (+FPTS:2) when the program receives.
  void SpoilFirstPage(bool spoil) { corrupter_.Arm(spoil); }
  void Connected(bool asCaller);
  // The far end cleared the call or the line dropped.
  void Cleared();
  bool InCall() const { return link_ != nullptr; }
  void Transmit(int16_t* samples, int count);
  void Receive(int16_t* samples, int count);
  FastCarrier FastTransmission() const;

 private:
  enum class State {
    kIdle,
    // Calling: the program sends.
    kAwaitDis,               // listening for the far machine's NSF, CSI and DIS
    kReady,                  // waiting for +FDT (or +FET/+FKS)
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
    kSendPostPageResponse,   // MCF or RTN going out
    kAwaitDcn,               // after the last page's MCF
    kClosing,                // the call has ended; the line is cleared shortly
  };

  // Commands and page data of the program (class2_engine.cpp).
  bool SessionCommand(const std::string& part, bool& answered);
  void ProgramReadyForPage();
  void GivePageToProgram(const std::string& bytes);
  void ReportReceivedPage();
  void PageArrived(std::string bytes, bool ended);
  void Line(const std::string& text);
  void Report(const char* class2, const char* class20, const std::string& value);
  void FinalResult(bool ok);

  // The T.30 machine (class2_session.cpp): every event from the Class 1 layer goes
  // through Step, every time-out through OnTimeout; they alone decide the next state.
  void ResetCall();
  void Note(const std::string& text);
  void NoteVerdict(const std::string& what, uint8_t response);
  void Pump();
  void Step(const Class1Link::Event& event);
  void FrameArrived(const std::string& frame);
  void ExchangeReceived();
  void FramesSent();
  void OnTimeout();
  void Enter(State state, double timeoutSeconds = 0);
  void Listen(State state, double timeoutSeconds);
  void ListenOn();
  void Send(State state, std::vector<std::string> frames);
  void SendNextFrame();
  void StartPage();
  void SendDcs();
  void EndOfPageCommand(int postPage);
  void PostPageResponse(uint8_t response);
  void TrainingVerdict();
  void Finish(int hangupCode, bool inOrder = false);
  void AbortSession();
  void OnHook();

  static constexpr double kProgramSilence = 60;  // seconds: a program stopped mid-page

  bool v20_;
  Hooks hooks_;
  std::unique_ptr<Class1Link> link_;
  State state_ = State::kIdle;
  int64_t deadline_ = -1;  // line time (samples) of the current state's time-out
  int64_t callStart_ = 0;
  int tries_ = 0;
  bool caller_ = false;
  bool pumping_ = false;

  // Settings of the program.
  std::string localId_;
  SessionParameters local_;      // +FDIS/+FIS (and +FDCC/+FCC)
  int pageStatusSetting_ = 0;    // +FPTS=/+FPS=: the answer to the next received page (0: the copy check's)

  // The session.
  SessionParameters far_;        // what the far machine offers (its DIS)
  SessionParameters session_;    // what was chosen (the DCS)
  Modulation modulation_{96, 96};  // of the chosen rate (V.17 or V.29 at 9600 and 7200)
  bool sessionChosen_ = false;
  std::string farId_;
  std::vector<std::string> disFrames_;  // CSI and DIS of an answering modem
  std::vector<std::string> sendQueue_;  // frames of the current +FTH
  bool disSeen_ = false;
  bool dcsSeen_ = false;
  bool trained_ = false;         // the current rate has been trained and not lost
  bool fconGiven_ = false;
  bool tsiGiven_ = false;
  bool heardCarrier_ = false;    // a frame is arriving
  bool lastFrameFinal_ = false;
  int lastFcf_ = 0;              // of the last frame received (X bit cleared)
  int postPage_ = 0;             // MPS, EOM or EOP of the current page (0: by +FET)
  uint8_t responseSent_ = 0;     // CFR/FTT or MCF/RTN/... this modem answered with
  int pagesDone_ = 0;             // page transmissions, sent again or not
  int pagesAccepted_ = 0;
  int lastPageStatus_ = 1;       // +FPTS value of the last page
  int finishCode_ = 0;
  bool closingOk_ = true;         // the final result once the call is cleared
  bool commandPending_ = false;  // the program awaits a final result
  bool dcnSeen_ = false;
  PageCorrupter corrupter_;

  // Sending: the program's page data.
  bool dle_ = false;

  // Receiving: page data for the program.
  std::string pageIn_;           // arrived, not yet given to the program
  bool pageStarted_ = false;
  bool pageEnded_ = false;       // the received page's carrier has ended
  bool pageDelivered_ = false;   // the program has the whole page
  bool pageReported_ = false;
  bool postPageKnown_ = false;
  bool fdrPending_ = false;      // +FDR given: CONNECT when a page comes
  bool awaitingDc2_ = false;     // CONNECT given: the program is to say DC2
  bool programReady_ = false;    // DC2 received: page data flows
  PageChecker checker_;
  int trainingBytes_ = 0;
  int trainingNonZero_ = 0;
};

}  // namespace ql::vmodem
