#pragma once
// The Class 2 and Class 2.0 command sets of a virtual modem. The modem itself runs
// T.30, here through spandsp's fax terminal, and the program speaks +F commands and
// reads +F reports. Pages a program sends are decoded into a TIFF and sent when the
// program has given the last one; pages the modem receives are coded again for the
// program when each has arrived (Class 2 in reversed bit order, Class 2.0 as sent).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "tools/qlvmodem/fax_terminal.h"
#include "tools/qlvmodem/page_codec.h"
#include "tools/qlvmodem/spandsp_access.h"

struct fax_state_s;
struct t30_state_s;

namespace ql::vmodem {

class Class2Engine {
 public:
  struct Hooks {
    std::function<void(const std::string&)> emit;  // bytes to the program
    std::function<void()> hangUp;                   // clear the call
  };
  Class2Engine(bool version20, std::filesystem::path workFolder, Hooks hooks);
  ~Class2Engine();
  Class2Engine(const Class2Engine&) = delete;
  Class2Engine& operator=(const Class2Engine&) = delete;

  bool Version20() const { return v20_; }
  // A normalised command line ("AT+FDT"). Returns false when it holds no +F command,
  // so the basic AT interpreter takes it; otherwise the answer has been written.
  bool Command(const std::string& command);

  // Page data from the program after CONNECT.
  bool WantsData() const { return state_ == State::kTakingPage || state_ == State::kWaitingForDc2; }
  size_t Data(const uint8_t* bytes, size_t length);

  // Ordered fault: the first page the program sends in the next call is reported bad.
  void RejectFirstPage(bool reject) { rejectFirstPage_ = reject; }
  void Connected(bool asCaller, const std::string& farIdent);
  void Cleared();
  bool InCall() const { return state_ != State::kIdle; }
  bool HasTerminal() const { return terminal_ != nullptr; }
  void Transmit(int16_t* samples, int count);
  void Receive(int16_t* samples, int count);
  FastCarrier FastTransmission() const;

 private:
  enum class State {
    kIdle,
    kSendReady,       // connected as caller, waiting for +FDT
    kTakingPage,      // taking a page from the program
    kPageTaken,       // Class 2: waiting for +FET
    kSending,         // the fax terminal sends the collected pages
    kReceiving,       // the fax terminal receives; pages go to the program on +FDR
    kWaitingForDc2,   // CONNECT given for a received page
    kDone,            // the session has ended; the call is being cleared
  };

  static void OnFrame(t30_state_s* t30, void* self, int direction, const uint8_t* frame, int length);
  static int OnPhaseB(t30_state_s* t30, void* self, int fcf);
  static int OnPhaseD(t30_state_s* t30, void* self, int fcf);
  static void OnPhaseE(t30_state_s* t30, void* self, int code);
  void Report(const std::string& name, const std::string& value);
  void Line(const std::string& text);
  void Ok() { Line("OK"); }
  std::string Name(const char* class2, const char* class20) const { return v20_ ? class20 : class2; }
  std::string SessionParameters() const;
  void StartTerminal(bool calling);
  void StopTerminal();
  void PageTaken(bool last);
  bool RejectPage();
  void DeliverNextPage();
  void FinishSend(int code);
  void FinishReceive(int code);

  bool v20_;
  std::filesystem::path folder_;
  Hooks hooks_;
  State state_ = State::kIdle;
  std::string localId_;
  int resolution_ = 1;  // 0 normal, 1 fine
  int bitRate_ = 5;     // 0 2400 ... 5 14400
  std::unique_ptr<FaxTerminal> terminal_;
  std::unique_ptr<PageCollector> collector_;
  bool dle_ = false;
  std::string farIdent_;
  // Receiving: pages that have arrived, pages given to the program, the result.
  int pagesArrived_ = 0;
  int pagesDelivered_ = 0;
  bool documentEnded_ = false;
  bool fdrPending_ = false;
  int hangupCode_ = -1;
  std::filesystem::path rxFile_;
  int64_t lingered_ = 0;
  bool sending_ = false;
  bool dcsFine_ = false;
  bool rejectFirstPage_ = false;
  bool lastPageGood_ = true;
};

}  // namespace ql::vmodem
