#pragma once
// A software fax modem on a pseudo-terminal. spandsp's T.31 modem does the Class 1
// work (AT interpreter, V.21 HDLC, V.27ter/V.29/V.17 data); this class feeds it what
// the program writes, safely (line by line in command mode, within the transmit
// buffer's room in data mode), answers what it does not know itself (the classes a
// modem claims, call-progress results by ATX, VOICE), ties it to the exchange, and
// applies the output faults a test ordered.

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "serial/dle/dle_codec.h"
#include "tools/qlvmodem/call_log.h"
#include "tools/qlvmodem/call_trace.h"
#include "tools/qlvmodem/class2_engine.h"
#include "tools/qlvmodem/endpoint.h"
#include "tools/qlvmodem/page_corrupter.h"
#include "tools/qlvmodem/pty_device.h"

struct t31_state_s;
struct at_state_s;

namespace ql::vmodem {

struct ModemOptions {
  std::string name;             // e.g. "ttyFAX0"
  std::string number;           // its number on the exchange
  std::filesystem::path link;   // the stable path a program opens
  bool trace = false;           // a Class 2 session's T.30 steps on standard error
  std::filesystem::path traceDir;  // a trace file per call there (empty: none)
  std::vector<std::string> classes{"1"};  // fax classes it claims besides 0
};

class VirtualModem : public Endpoint {
 public:
  explicit VirtualModem(ModemOptions options);
  ~VirtualModem() override;

  std::string Describe() const override { return "modem " + options_.name; }
  bool OnWallClock() const override { return true; }
  bool Idle() const override;

  void BeginCall(const std::vector<Fault>& faults) override;
  void IncomingCall(const std::string& callerNumber) override;
  void Ring() override;
  void Connected(bool asCaller) override;
  void DialFailed(DialOutcome outcome) override;
  void Cleared() override;

  void Transmit(int16_t* samples, int count) override;
  void Receive(int16_t* samples, int count) override;
  void Service() override;
  FastCarrier FastTransmission() const override;

  const ModemOptions& Options() const { return options_; }
  const PtyDevice& Pty() const { return pty_; }
  // The pty master, when the modem wants to hear from its program now.
  int InputFd() const;

 private:
  enum class Role { kIdle, kDialling, kRinging, kAnswering, kConnected };
  using Clock = std::chrono::steady_clock;

  static int OnOutput(at_state_s* at, void* self, const uint8_t* bytes, size_t length);
  static int OnControl(t31_state_s* t31, void* self, int op, const char* argument);
  int Control(int op, const char* argument);

  void CreateInterpreter();
  void DestroyInterpreter();
  void CheckProgram();
  void FeedProgram();
  size_t Consume(const uint8_t* bytes, size_t length);
  size_t TakeCommandBytes(const uint8_t* bytes, size_t length);
  void HandleCommandLine(const std::string& raw);
  void ToInterpreter(const char* bytes, size_t length);
  void DropCommandEscape();

  void Emit(const uint8_t* bytes, size_t length);
  void Result(const char* text, int numeric);
  void QuietEvent(int event);
  void SetRole(Role role);
  void SendFlowControl(bool go);

  ModemOptions options_;
  PtyDevice pty_;
  CallTrace trace_;
  t31_state_s* t31_ = nullptr;
  Role role_ = Role::kIdle;
  bool offHook_ = false;
  bool held_ = false;          // the modem's transmit buffer is full (CTS off)
  bool dtrLow_ = false;
  bool suppress_ = false;      // output of an event whose result this class replaces
  std::string inbox_;          // read from the program, not yet taken by the modem
  std::string line_;           // command line being assembled
  ql::dle::Unstuffer dataPairs_;  // data mode: where the program's DLE pairs are
  Clock::time_point lastInput_{};
  Clock::time_point lineStarted_{};

  // Output faults of the current call.
  bool silent_ = false;
  bool garbage_ = false;
  std::chrono::milliseconds delay_{0};
  std::deque<std::pair<Clock::time_point, std::string>> delayed_;
  std::minstd_rand random_{4711};
  PageCorrupter pageCorrupter_;  // a Class 1 call's first page is answered with RTN

  // The Class 2 or 2.0 command set, while the program has selected one.
  std::unique_ptr<Class2Engine> class2_;
  bool class2Call_ = false;  // the current call belongs to the Class 2 engine
  void SelectClass2(bool version20);
  void EndClass2Call();
};

}  // namespace ql::vmodem
