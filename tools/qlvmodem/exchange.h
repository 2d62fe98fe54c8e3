#pragma once
// The virtual telephone exchange: numbers, calls and the audio between the two ends of
// each call. Endpoints ask for dialling, answering and hanging up; those requests take
// effect at the next step, so no endpoint is called back from inside its own handler.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/qlvmodem/call_log.h"
#include "tools/qlvmodem/endpoint.h"
#include "tools/qlvmodem/faults.h"
#include "tools/qlvmodem/line_stage.h"

namespace ql::vmodem {

constexpr int kSampleRate = 8000;
constexpr int kBlockSamples = 160;  // 20 ms

struct LineTiming {
  double dialSeconds = 1.0;        // dialling the digits until the far end rings or is busy
  double busySeconds = 2.0;        // busy tone until the caller gives up
  double ringPeriodSeconds = 6.0;  // one ring cadence
  double ringTimeoutSeconds = 45.0;  // unanswered calls end after this
  double deadLineSeconds = 5.0;    // a dead line is cleared after this
  double watchdogSeconds = 900.0;  // no call lasts longer
};

enum class CallState { kDialling, kRinging, kConnected, kEnded };

struct Call {
  int id = 0;
  Endpoint* caller = nullptr;
  Endpoint* callee = nullptr;
  std::string digits;
  CallState state = CallState::kDialling;
  int64_t stateSince = 0;  // line samples
  int64_t nextRing = 0;
  std::vector<Fault> faults;        // all faults of the call
  std::vector<Fault> calleeFaults;  // those ordered for the called number
  LineStage toCallee;
  LineStage toCaller;
  // Fast (page) carriers seen in the call, for the faults that hit trainings and pages.
  int fastCarriers = 0;
  int fastRate = 0;
  int64_t fastSince = 0;
  bool spoilCarrier = false;
  int64_t deadSince = -1;
};

class Exchange {
 public:
  explicit Exchange(CallLog& log, LineTiming timing = {});

  void Add(Endpoint* endpoint);
  // Ends its call (the far end is told) and forgets it.
  void Remove(Endpoint* endpoint);
  Endpoint* Find(const std::string& number) const;
  const std::vector<Endpoint*>& Endpoints() const { return endpoints_; }

  void Dial(Endpoint* caller, const std::string& digits);
  void Answer(Endpoint* callee);
  void HangUp(Endpoint* endpoint);

  FaultBook& Faults() { return faults_; }
  // One block of line time: requests, call progress, audio.
  void Step();
  // Some call has a party on the wall clock.
  bool NeedsRealTime() const;
  bool Busy() const { return !calls_.empty() || !requests_.empty(); }
  double LineSeconds() const { return static_cast<double>(now_) / kSampleRate; }
  int CallsMade() const { return nextCallId_ - 1; }
  const Call* CallOf(const Endpoint* endpoint) const;
  // Writes what a party of a call has to say about it (pages, results) into the call log.
  void Note(const Endpoint* endpoint, const std::string& text);

 private:
  enum class RequestKind { kDial, kAnswer, kHangUp };
  struct Request {
    RequestKind kind;
    Endpoint* endpoint;
    std::string digits;
  };

  void Handle(const Request& request);
  void Advance(Call& call);
  void SetState(Call& call, CallState state);
  void EndCall(Call& call, Endpoint* hungUpBy, const std::string& why);
  void FailDial(Call& call, DialOutcome outcome, const std::string& why);
  void WatchCarriers(Call& call);
  void MoveAudio();
  Call* FindCall(const Endpoint* endpoint);
  int64_t Samples(double seconds) const { return static_cast<int64_t>(seconds * kSampleRate); }
  void Log(const Call& call, const std::string& text);

  CallLog& log_;
  std::map<const Endpoint*, int> lastCall_;  // the id of each party's last ended call
  LineTiming timing_;
  std::vector<Endpoint*> endpoints_;
  std::deque<Request> requests_;
  std::vector<std::unique_ptr<Call>> calls_;
  FaultBook faults_;
  int64_t now_ = 0;
  int nextCallId_ = 1;
  std::vector<int16_t> tx_;
  std::vector<int16_t> rx_;
};

// Keeps the characters a number is made of (digits, *, #, A to D).
std::string DialledNumber(const std::string& digits);

}  // namespace ql::vmodem
