#pragma once
// The Class 2 and Class 2.0 command sets of a virtual modem, the program's side of
// them: +F commands and their answers, the reports, and page data both ways (DLE
// pairs, the bit order of the class, XON/XOFF pacing, the DC2 hand-over). The fax
// session itself runs in Class2Session, which tells this side what happens. Pages
// stream both ways as they go: what the program writes after CONNECT goes to the line
// at the line's pace, what arrives is handed to the program as it comes (Class 2 in
// reversed bit order, Class 2.0 as sent), and each page's outcome is the far machine's
// answer.

#include <cstdint>
#include <functional>
#include <string>

#include "serial/dle/dle_codec.h"
#include "tools/qlvmodem/class2_session.h"

namespace ql::vmodem {

class Class2Engine : private Class2Session::Events {
 public:
  struct Hooks {
    std::function<void(const std::string&)> emit;  // bytes to the program
    std::function<void()> hangUp;                   // clear the call
    std::function<void(const std::string&)> trace;  // the session's steps, when wanted
    std::function<void(const std::string&)> note;   // page verdicts and the end, for the call log
    std::function<void(bool go)> flow;              // XON (go) or XOFF for the program's page data
  };
  Class2Engine(bool version20, Hooks hooks);
  ~Class2Engine() override;
  Class2Engine(const Class2Engine&) = delete;
  Class2Engine& operator=(const Class2Engine&) = delete;

  bool Version20() const { return v20_; }
  // A normalised command line ("AT+FDT"). Returns false when it holds no +F command,
  // so the basic AT interpreter takes it; otherwise the answer has been written.
  bool Command(const std::string& command);

  // Bytes from the program while a page is being sent or received.
  bool WantsData() const;
  bool SendingPage() const { return session_.SendingPage(); }
  // Takes what it can of `bytes` and returns how many it took (0: full for now).
  size_t Data(const uint8_t* bytes, size_t length);

  // The ordered page-rejection fault: the first page of the next call is spoilt on its
  // way, so it is rejected with RTN: by the far machine when the program sends, by this
  // modem's own copy check (+FPTS:2) when the program receives.
  void SpoilFirstPage(bool spoil) { session_.SpoilFirstPage(spoil); }
  void Connected(bool asCaller);
  // The far end cleared the call or the line dropped.
  void Cleared(bool byProgram = false) { session_.Cleared(byProgram); }
  // The program dropped DTR or closed the port.
  void ProgramLeft() { session_.ProgramLeft(); }
  bool InCall() const { return session_.InCall(); }
  void Transmit(int16_t* samples, int count);
  void Receive(int16_t* samples, int count);
  FastCarrier FastTransmission() const { return session_.FastTransmission(); }

 private:
  // How a received page passes to the program.
  enum class Handover {
    kNone,          // no page for the program: +FDR not given, or the page reported
    kAwaitingPage,  // +FDR given before the page: CONNECT when its carrier starts
    kAwaitingDc2,   // CONNECT given: the program is to say DC2
    kStreaming,     // DC2 received: the page's data flows as it arrives
    kDelivered,     // DLE ETX given: its status follows once the post-page command is known
  };
  // What has arrived of the page on its way in.
  enum class PageIn { kNone, kArriving, kEnded };

  bool SessionCommand(const std::string& part, bool& answered);
  void ReadyForPage();
  void TakeDc2(const uint8_t* bytes, size_t length, size_t& taken);
  void Deliver();
  void ReportReceivedPage();
  void Pace();
  void Line(const std::string& text);
  void Report(const char* class2, const char* class20, const std::string& value);
  void FinalResult(bool ok);

  // What the session reports.
  void FaxConnection() override;
  void FarCapabilities(const std::string& farId, const SessionParameters& offered) override;
  void SenderId(const std::string& farId) override;
  void ParametersChosen(const SessionParameters& chosen) override;
  void PageCarrierUp() override;
  void PageSent(bool awaitPostPage) override;
  void PageAnswered(int status, bool goesOn) override;
  void ReadyToReceive() override;
  void PageArriving() override;
  void PageData(const std::string& bytes) override;
  void PageArrived(int status) override;
  void PostPageCommand(int postPage) override;
  void SessionEnded(int hangupCode) override;
  void OnHook(bool ok, bool clearCall) override;

  bool v20_;
  Hooks hooks_;
  Class2Session session_;

  // Settings of the program.
  std::string localId_;
  SessionParameters local_;      // +FDIS/+FIS (and +FDCC/+FCC)
  int pageStatusSetting_ = 0;    // +FPTS=/+FPS=: the answer to the next received page (0: the copy check's)

  bool commandPending_ = false;  // the program awaits a final result
  int lastPageStatus_ = 1;       // +FPTS value of the last page, sent or received
  SessionParameters chosen_;     // +FDCS?

  // Sending: the program's page data.
  ql::dle::Unstuffer fromProgram_;
  bool held_ = false;            // XOFF sent: the modem holds enough page data for now

  // Receiving: page data for the program.
  Handover handover_ = Handover::kNone;
  PageIn pageIn_ = PageIn::kNone;
  std::string waiting_;          // arrived, not yet given to the program
  int postPage_ = 0;             // the sender's command after the page (0: not yet known)
};

}  // namespace ql::vmodem
