#pragma once
// Something with a number on the virtual exchange: a pty modem or a remote fax machine.
// The exchange signals calls to it and exchanges one block of 8 kHz audio with it on
// every tick, whether or not it is in a call (spandsp's timers run on those samples).

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qlvmodem/faults.h"
#include "tools/qlvmodem/spandsp_access.h"

namespace ql::vmodem {

class Exchange;

// How a dial attempt ended without a connection.
enum class DialOutcome { kBusy, kNoAnswer, kNoDialTone, kVoice, kNoCarrier };

class Endpoint {
 public:
  explicit Endpoint(std::string number) : number_(std::move(number)) {}
  virtual ~Endpoint() = default;
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  const std::string& Number() const { return number_; }
  virtual std::string Describe() const = 0;
  // A program on the wall clock is behind it (a pty modem), so calls must run in real time.
  virtual bool OnWallClock() const { return false; }
  // Ready to be offered a call (not in one, not off hook).
  virtual bool Idle() const = 0;
  // Transient endpoints (a remote that placed one call) say when they can go.
  virtual bool Finished() const { return false; }

  // Signalling from the exchange. First the faults ordered for this number in the call.
  virtual void BeginCall(const std::vector<Fault>& /*faults*/) {}
  virtual void IncomingCall(const std::string& callerNumber) = 0;
  virtual void Ring() = 0;
  virtual void Connected(bool asCaller) = 0;
  virtual void DialFailed(DialOutcome outcome) = 0;
  // The far end cleared the call, the line dropped, or an unanswered call stopped ringing.
  virtual void Cleared() = 0;

  // One block each tick: what this end sends, and what reaches it.
  virtual void Transmit(int16_t* samples, int count) = 0;
  virtual void Receive(int16_t* samples, int count) = 0;
  // Input and output other than audio, once a tick and whenever its program wrote.
  virtual void Service() {}
  // The page modulation it is sending now (bit rate 0 when none).
  virtual FastCarrier FastTransmission() const { return {}; }

  void AttachTo(Exchange* exchange) { exchange_ = exchange; }

 protected:
  Exchange* exchange_ = nullptr;

 private:
  std::string number_;
};

}  // namespace ql::vmodem
