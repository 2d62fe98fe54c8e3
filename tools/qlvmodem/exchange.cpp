#include "tools/qlvmodem/exchange.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace ql::vmodem {

namespace {
const char* StateName(CallState state) {
  switch (state) {
    case CallState::kDialling: return "dialling";
    case CallState::kRinging: return "ringing";
    case CallState::kConnected: return "connected";
    case CallState::kEnded: return "ended";
  }
  return "?";
}

const char* OutcomeName(DialOutcome outcome) {
  switch (outcome) {
    case DialOutcome::kBusy: return "busy";
    case DialOutcome::kNoAnswer: return "no answer";
    case DialOutcome::kNoDialTone: return "no dial tone";
    case DialOutcome::kVoice: return "voice answer";
    case DialOutcome::kNoCarrier: return "no carrier";
  }
  return "?";
}
}  // namespace

std::string DialledNumber(const std::string& digits) {
  std::string number;
  for (char c : digits) {
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (std::isdigit(static_cast<unsigned char>(u)) || u == '*' || u == '#' || (u >= 'A' && u <= 'D')) number += u;
  }
  return number;
}

Exchange::Exchange(CallLog& log, LineTiming timing)
    : log_(log), timing_(timing), tx_(kBlockSamples), rx_(kBlockSamples) {}

void Exchange::Add(Endpoint* endpoint) {
  endpoints_.push_back(endpoint);
  endpoint->AttachTo(this);
}

void Exchange::Remove(Endpoint* endpoint) {
  if (Call* call = FindCall(endpoint)) EndCall(*call, endpoint, "endpoint removed");
  std::erase(endpoints_, endpoint);
  lastCall_.erase(endpoint);
  std::erase_if(requests_, [endpoint](const Request& r) { return r.endpoint == endpoint; });
  std::erase_if(calls_, [](const auto& c) { return c->state == CallState::kEnded; });
}

Endpoint* Exchange::Find(const std::string& number) const {
  for (Endpoint* endpoint : endpoints_)
    if (endpoint->Number() == number) return endpoint;
  return nullptr;
}

void Exchange::Dial(Endpoint* caller, const std::string& digits) {
  requests_.push_back({RequestKind::kDial, caller, digits});
}
void Exchange::Answer(Endpoint* callee) { requests_.push_back({RequestKind::kAnswer, callee, {}}); }
void Exchange::HangUp(Endpoint* endpoint) { requests_.push_back({RequestKind::kHangUp, endpoint, {}}); }

Call* Exchange::FindCall(const Endpoint* endpoint) {
  for (auto& call : calls_)
    if (call->state != CallState::kEnded && (call->caller == endpoint || call->callee == endpoint)) return call.get();
  return nullptr;
}

const Call* Exchange::CallOf(const Endpoint* endpoint) const {
  return const_cast<Exchange*>(this)->FindCall(endpoint);
}

bool Exchange::NeedsRealTime() const {
  for (const auto& call : calls_) {
    if (call->state == CallState::kEnded) continue;
    if (call->caller->OnWallClock() || (call->callee != nullptr && call->callee->OnWallClock())) return true;
  }
  return false;
}

// A party may sum its call up just after the call ended (a machine finishing its
// session after the line dropped): the note then goes with that call.
void Exchange::Note(const Endpoint* endpoint, const std::string& text) {
  const std::string line = endpoint->Describe() + ": " + text;
  if (const Call* call = CallOf(endpoint)) {
    Log(*call, line);
  } else if (auto last = lastCall_.find(endpoint); last != lastCall_.end()) {
    log_.Write(last->second, LineSeconds(), line);
  }
}

void Exchange::Log(const Call& call, const std::string& text) { log_.Write(call.id, LineSeconds(), text); }

void Exchange::SetState(Call& call, CallState state) {
  call.state = state;
  call.stateSince = now_;
  Log(call, StateName(state));
}

void Exchange::Handle(const Request& request) {
  Call* call = FindCall(request.endpoint);
  switch (request.kind) {
    case RequestKind::kDial: {
      if (call != nullptr) return;  // already in a call: the second dial is ignored
      auto fresh = std::make_unique<Call>();
      fresh->id = nextCallId_++;
      fresh->caller = request.endpoint;
      fresh->digits = DialledNumber(request.digits);
      std::vector<Fault> callerFaults = faults_.TakeFor(request.endpoint->Number());
      fresh->calleeFaults = faults_.TakeFor(fresh->digits);
      fresh->faults = callerFaults;
      fresh->faults.insert(fresh->faults.end(), fresh->calleeFaults.begin(), fresh->calleeFaults.end());
      fresh->stateSince = now_;
      std::string text = fresh->caller->Describe() + " (" + fresh->caller->Number() + ") dialled " +
                         (fresh->digits.empty() ? std::string("nothing") : fresh->digits);
      for (const Fault& fault : fresh->faults) text += ", fault " + DescribeFault(fault);
      Log(*fresh, text);
      fresh->caller->BeginCall(callerFaults);
      calls_.push_back(std::move(fresh));
      return;
    }
    case RequestKind::kAnswer:
      if (call == nullptr || call->callee != request.endpoint || call->state != CallState::kRinging) return;
      SetState(*call, CallState::kConnected);
      Log(*call, call->callee->Describe() + " answered");
      if (const Fault* noise = FindFault(call->faults, FaultKind::kNoise)) {
        call->toCallee.SetNoise(noise->value);
        call->toCaller.SetNoise(noise->value);
      }
      call->callee->Connected(false);
      call->caller->Connected(true);
      return;
    case RequestKind::kHangUp:
      if (call == nullptr) return;
      // A called party that hangs up before answering does not stop the ringing.
      if (call->callee == request.endpoint && call->state == CallState::kRinging) return;
      EndCall(*call, request.endpoint, "hung up by " + request.endpoint->Describe());
      return;
  }
}

void Exchange::EndCall(Call& call, Endpoint* hungUpBy, const std::string& why) {
  if (call.state == CallState::kEnded) return;
  lastCall_[call.caller] = call.id;
  if (call.callee != nullptr) lastCall_[call.callee] = call.id;
  CallState was = call.state;
  call.state = CallState::kEnded;
  Log(call, "ended: " + why);
  if (was == CallState::kDialling) {
    if (call.caller != hungUpBy) call.caller->Cleared();
    return;
  }
  if (call.caller != hungUpBy) call.caller->Cleared();
  if (call.callee != nullptr && call.callee != hungUpBy) call.callee->Cleared();
}

void Exchange::FailDial(Call& call, DialOutcome outcome, const std::string& why) {
  Log(call, std::string("dial failed: ") + OutcomeName(outcome) + (why.empty() ? "" : " (" + why + ")"));
  CallState was = call.state;
  call.state = CallState::kEnded;
  call.caller->DialFailed(outcome);
  if (was == CallState::kRinging && call.callee != nullptr) call.callee->Cleared();
}

void Exchange::Advance(Call& call) {
  int64_t elapsed = now_ - call.stateSince;
  switch (call.state) {
    case CallState::kDialling: {
      if (HasFault(call.faults, FaultKind::kNoDialTone)) {
        if (elapsed >= Samples(0.5)) FailDial(call, DialOutcome::kNoDialTone, "");
        return;
      }
      if (call.callee == nullptr) {
        if (elapsed < Samples(timing_.dialSeconds)) return;
        Endpoint* callee = Find(call.digits);
        bool busy = HasFault(call.faults, FaultKind::kBusy) ||
                    (callee != nullptr && (callee == call.caller || !callee->Idle() || FindCall(callee) != nullptr));
        if (callee == nullptr) {
          FailDial(call, DialOutcome::kNoCarrier, "number not assigned");
          return;
        }
        call.callee = callee;
        if (busy) {
          Log(call, callee->Describe() + " is busy");
          call.stateSince = now_;
          return;
        }
        callee->BeginCall(call.calleeFaults);
        SetState(call, CallState::kRinging);
        call.callee->IncomingCall(call.caller->Number());
        call.nextRing = now_;
        return;
      }
      // The number was busy: the caller hears the busy tone for a while.
      if (elapsed >= Samples(timing_.busySeconds)) {
        call.callee = nullptr;
        FailDial(call, DialOutcome::kBusy, "");
      }
      return;
    }
    case CallState::kRinging: {
      if (now_ >= call.nextRing) {
        Log(call, "ring");
        call.callee->Ring();
        call.nextRing = now_ + Samples(timing_.ringPeriodSeconds);
      }
      if (HasFault(call.faults, FaultKind::kVoice) && elapsed >= Samples(timing_.ringPeriodSeconds / 2)) {
        FailDial(call, DialOutcome::kVoice, "a person answered");
        return;
      }
      const Fault* noAnswer = FindFault(call.faults, FaultKind::kNoAnswer);
      double limit = noAnswer != nullptr ? noAnswer->value : timing_.ringTimeoutSeconds;
      if (elapsed >= Samples(limit)) FailDial(call, DialOutcome::kNoAnswer, "");
      return;
    }
    case CallState::kConnected:
      if (call.deadSince >= 0 && now_ - call.deadSince >= Samples(timing_.deadLineSeconds)) {
        EndCall(call, nullptr, "dead line cleared");
        return;
      }
      if (elapsed >= Samples(timing_.watchdogSeconds)) {
        EndCall(call, nullptr, "call too long, cleared by the exchange");
        return;
      }
      WatchCarriers(call);
      return;
    case CallState::kEnded: return;
  }
}

// Follows the fast (page) carriers of a connected call: logs each one with its rate and
// applies the faults that strike trainings and pages.
void Exchange::WatchCarriers(Call& call) {
  FastCarrier fromCaller = call.caller->FastTransmission();
  FastCarrier fromCallee = call.callee->FastTransmission();
  const FastCarrier& carrier = fromCaller.bitRate != 0 ? fromCaller : fromCallee;
  int rate = carrier.bitRate;
  LineStage& stage = fromCaller.bitRate != 0 ? call.toCallee : call.toCaller;
  if (rate != 0 && call.fastRate == 0) {
    ++call.fastCarriers;
    call.fastSince = now_;
    Endpoint* sender = fromCaller.bitRate != 0 ? call.caller : call.callee;
    Log(call, "fast carrier " + std::to_string(rate) + " bit/s from " + sender->Describe());
    // Each train fault ordered for the call spoils its rate, so a sender can be made to
    // fall back through several.
    call.spoilCarrier = false;
    for (const Fault& train : call.faults) {
      if (train.kind != FaultKind::kTrainFailure) continue;
      if (train.value == 0 ? call.fastCarriers == 1 : train.value == rate) call.spoilCarrier = true;
    }
    if (call.spoilCarrier) Log(call, "fault: spoiling the training check at " + std::to_string(rate) + " bit/s");
  }
  // A training check passes with one second of clean zeros. Loud noise from 0.3 to
  // 0.8 s after the training leaves no such second, and spares the training itself (at
  // 2400 bit/s the data starts a little later than the training's length says, so a
  // shorter burst left a second clean there).
  double intoData = static_cast<double>(now_ - call.fastSince) / kSampleRate - carrier.trainingSeconds;
  stage.SetInterference(rate != 0 && call.spoilCarrier && intoData >= 0.3 && intoData < 0.8);
  if (rate == 0 && call.fastRate != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "fast carrier ended after %.2f s",
                  static_cast<double>(now_ - call.fastSince) / kSampleRate);
    Log(call, text);
    call.toCallee.SetInterference(false);
    call.toCaller.SetInterference(false);
    call.spoilCarrier = false;
  }
  call.fastRate = rate;
  // The page comes after at least one training check. At V.17 a page is known by its
  // short training: counting carriers alone would strike a check sent again, because it
  // went unanswered (the receiver listened too late) or failed.
  const bool page = call.fastCarriers >= 2 && (!carrier.v17 || carrier.shortTraining);
  if (rate != 0 && call.deadSince < 0 && page && now_ - call.fastSince >= Samples(0.5) &&
      HasFault(call.faults, FaultKind::kCarrierLoss)) {
    call.toCallee.SetDead(true);
    call.toCaller.SetDead(true);
    call.deadSince = now_;
    Log(call, "fault: carrier lost in the middle of the page");
  }
}

void Exchange::MoveAudio() {
  const size_t n = endpoints_.size();
  std::vector<std::vector<int16_t>> sent(n, std::vector<int16_t>(kBlockSamples, 0));
  for (size_t i = 0; i < n; ++i) endpoints_[i]->Transmit(sent[i].data(), kBlockSamples);
  auto indexOf = [this](const Endpoint* e) {
    return static_cast<size_t>(std::find(endpoints_.begin(), endpoints_.end(), e) - endpoints_.begin());
  };
  std::vector<std::vector<int16_t>> heard(n, std::vector<int16_t>(kBlockSamples, 0));
  for (auto& call : calls_) {
    if (call->state != CallState::kConnected) continue;
    size_t a = indexOf(call->caller);
    size_t b = indexOf(call->callee);
    if (a >= n || b >= n) continue;
    heard[b] = sent[a];
    call->toCallee.Apply(heard[b].data(), kBlockSamples);
    heard[a] = sent[b];
    call->toCaller.Apply(heard[a].data(), kBlockSamples);
  }
  for (size_t i = 0; i < n; ++i) endpoints_[i]->Receive(heard[i].data(), kBlockSamples);
}

void Exchange::Step() {
  while (!requests_.empty()) {
    Request request = std::move(requests_.front());
    requests_.pop_front();
    Handle(request);
  }
  for (size_t i = 0; i < calls_.size(); ++i) Advance(*calls_[i]);
  std::erase_if(calls_, [](const auto& c) { return c->state == CallState::kEnded; });
  MoveAudio();
  now_ += kBlockSamples;
}

}  // namespace ql::vmodem
