#include "tools/qlvmodem/virtual_modem.h"

#include <spandsp.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "serial/dle/dle_codec.h"
#include "tools/qlvmodem/dte_bytes.h"
#include "tools/qlvmodem/exchange.h"
#include "tools/qlvmodem/modem_identity.h"
#include "tools/qlvmodem/spandsp_access.h"

namespace ql::vmodem {

namespace {
constexpr size_t kChunk = 256;  // larger pieces overrun the modem's buffer silently
constexpr size_t kLongestCommandLine = 1024;
constexpr auto kGuardTime = std::chrono::seconds(1);

// The command as the interpreter sees it: backspaces applied, upper case, no spaces,
// no line end.
std::string NormalisedCommand(const std::string& raw) {
  std::string text;
  bool quoted = false;  // text in double quotes (a station ID) is kept as it is
  for (char c : raw) {
    if (c == '\b' || c == 0x7F) {
      if (!text.empty()) text.pop_back();
    } else if (c == '"') {
      quoted = !quoted;
      text += c;
    } else if (quoted) {
      text += c;
    } else if (c != ' ' && c != '\r' && c != '\n') {
      text += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  size_t at = text.find("AT");
  return at == std::string::npos ? std::string() : text.substr(at);
}
}  // namespace

VirtualModem::VirtualModem(ModemOptions options)
    : Endpoint(options.number), options_(std::move(options)), pty_(options_.link), trace_(options_.traceDir, options_.name) {
  CreateInterpreter();
}

VirtualModem::~VirtualModem() { DestroyInterpreter(); }

void VirtualModem::CreateInterpreter() {
  t31_ = t31_init(nullptr, &VirtualModem::OnOutput, this, &VirtualModem::OnControl, this, nullptr, nullptr);
  t31_set_transmit_on_idle(t31_, 1);
  // Like most fax modems, report every call-progress result from power-on (ATX4).
  SetResultCodeMode(t31_, 4);
  inbox_.clear();
  line_.clear();
  dataPairs_.Reset();
  held_ = false;
  offHook_ = false;
}

void VirtualModem::DestroyInterpreter() {
  if (t31_ != nullptr) ReleaseModem(t31_);
  t31_ = nullptr;
}

bool VirtualModem::Idle() const { return role_ == Role::kIdle && !offHook_; }

int VirtualModem::InputFd() const {
  // Input the modem could not take yet waits for the next block: polling the pty again
  // before then would only spin.
  if (!pty_.Attached() || held_ || !inbox_.empty()) return -1;
  return pty_.MasterFd();
}

FastCarrier VirtualModem::FastTransmission() const {
  if (class2_ != nullptr && class2_->InCall()) return class2_->FastTransmission();
  return ql::vmodem::FastTransmission(t31_);
}

void VirtualModem::SetRole(Role role) {
  role_ = role;
  // The caller's number was shown with the rings; past them it is not needed.
  if (role == Role::kConnected || role == Role::kIdle) ForgetCallInfo(t31_);
  if (role == Role::kIdle) {
    trace_.CallEnded();
    // The faults of a call last until it ends.
    silent_ = false;
    garbage_ = false;
    delay_ = std::chrono::milliseconds(0);
    pageCorrupter_.Arm(false);
  }
}

// --- signalling from the exchange -------------------------------------------------

void VirtualModem::BeginCall(const std::vector<Fault>& faults) {
  silent_ = HasFault(faults, FaultKind::kSilence);
  garbage_ = HasFault(faults, FaultKind::kGarbage);
  const Fault* slow = FindFault(faults, FaultKind::kSlow);
  delay_ = std::chrono::milliseconds(slow != nullptr ? slow->value : 0);
  const bool rejectFirstPage = HasFault(faults, FaultKind::kPageRejected);
  if (class2_ != nullptr)
    class2_->SpoilFirstPage(rejectFirstPage);
  else
    pageCorrupter_.Arm(rejectFirstPage);
}

void VirtualModem::IncomingCall(const std::string& callerNumber) {
  trace_.CallStarted("incoming call from " + (callerNumber.empty() ? std::string("an unknown number") : callerNumber));
  BeginIncomingCall(t31_, callerNumber);
  SetRole(Role::kRinging);
}

void VirtualModem::Ring() {
  if (role_ == Role::kRinging) t31_call_event(t31_, AT_CALL_EVENT_ALERTING);
}

void VirtualModem::Connected(bool asCaller) {
  SetRole(Role::kConnected);
  if (class2_ != nullptr) {
    // The Class 2 engine takes the call; the Class 1 interpreter returns to command
    // mode without a word (its own hang-up must not clear the call).
    class2Call_ = true;
    QuietEvent(AT_CALL_EVENT_HANGUP);
    class2_->Connected(asCaller);
    return;
  }
  t31_call_event(t31_, asCaller ? AT_CALL_EVENT_CONNECTED : AT_CALL_EVENT_ANSWERED);
}

void VirtualModem::SelectClass2(bool version20) {
  Class2Engine::Hooks hooks;
  hooks.emit = [this](const std::string& text) { Emit(reinterpret_cast<const uint8_t*>(text.data()), text.size()); };
  hooks.hangUp = [this] { EndClass2Call(); };
  hooks.note = [this](const std::string& text) {
    if (exchange_ != nullptr) exchange_->Note(this, text);
  };
  hooks.flow = [this](bool go) { SendFlowControl(go); };
  if (options_.trace || trace_.On()) {
    hooks.trace = [this](const std::string& text) {
      if (options_.trace) std::fprintf(stderr, "%s %s\n", options_.name.c_str(), text.c_str());
      trace_.Note(text);
    };
  }
  class2_ = std::make_unique<Class2Engine>(version20, std::move(hooks));
}

void VirtualModem::EndClass2Call() {
  if (role_ != Role::kIdle && role_ != Role::kRinging && exchange_ != nullptr) exchange_->HangUp(this);
  class2Call_ = false;
  SetRole(Role::kIdle);
}

void VirtualModem::DialFailed(DialOutcome outcome) {
  // ATX decides which call-progress results the modem tells apart; the others are
  // reported as NO CARRIER, as a modem that cannot hear the tone would.
  const int x = ResultCodeMode(t31_);
  switch (outcome) {
    case DialOutcome::kBusy:
      if (x >= 3) {
        t31_call_event(t31_, AT_CALL_EVENT_BUSY);
      } else {
        QuietEvent(AT_CALL_EVENT_BUSY);
        Result("NO CARRIER", 3);
      }
      break;
    case DialOutcome::kNoDialTone:
      if (x == 2 || x == 4) {
        t31_call_event(t31_, AT_CALL_EVENT_NO_DIALTONE);
      } else {
        QuietEvent(AT_CALL_EVENT_NO_DIALTONE);
        Result("NO CARRIER", 3);
      }
      break;
    case DialOutcome::kNoAnswer: t31_call_event(t31_, AT_CALL_EVENT_NO_ANSWER); break;
    case DialOutcome::kVoice:
      QuietEvent(AT_CALL_EVENT_NO_ANSWER);
      Result("VOICE", -1);
      break;
    case DialOutcome::kNoCarrier:
      QuietEvent(AT_CALL_EVENT_NO_ANSWER);
      Result("NO CARRIER", 3);
      break;
  }
  SetRole(Role::kIdle);
}

void VirtualModem::Cleared() {
  Role was = role_;
  SetRole(Role::kIdle);
  if (was == Role::kRinging) return;  // the caller gave up: the rings just stop
  if (was == Role::kDialling) {
    QuietEvent(AT_CALL_EVENT_NO_ANSWER);
    Result("NO CARRIER", 3);
    return;
  }
  if (class2Call_) {
    class2Call_ = false;
    class2_->Cleared();
    return;
  }
  t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
}

// Raises an event whose own result code is replaced by the caller's.
void VirtualModem::QuietEvent(int event) {
  suppress_ = true;
  t31_call_event(t31_, event);
  suppress_ = false;
}

// --- requests from the interpreter -------------------------------------------------

int VirtualModem::OnControl(t31_state_s*, void* self, int op, const char* argument) {
  return static_cast<VirtualModem*>(self)->Control(op, argument);
}

int VirtualModem::Control(int op, const char* argument) {
  const auto value = reinterpret_cast<intptr_t>(argument);
  switch (op) {
    case AT_MODEM_CONTROL_CALL:
      if (exchange_ == nullptr || role_ != Role::kIdle) return -1;
      trace_.CallStarted(std::string("dialling ") + (argument != nullptr ? argument : ""));
      SetRole(Role::kDialling);
      exchange_->Dial(this, argument != nullptr ? argument : "");
      return 0;
    case AT_MODEM_CONTROL_ANSWER:
      if (role_ != Role::kRinging || exchange_ == nullptr) return -1;
      role_ = Role::kAnswering;
      exchange_->Answer(this);
      return 0;
    case AT_MODEM_CONTROL_HANGUP:
      if (suppress_) return 0;  // the interpreter leaving a call the Class 2 engine took
      offHook_ = false;
      if (class2Call_) {
        class2Call_ = false;
        class2_->Cleared(true);
      }
      if (role_ == Role::kRinging) return 0;  // on hook already: the line rings on
      if (role_ != Role::kIdle && exchange_ != nullptr) exchange_->HangUp(this);
      SetRole(Role::kIdle);
      return 0;
    case AT_MODEM_CONTROL_OFFHOOK: offHook_ = true; return 0;
    case AT_MODEM_CONTROL_CTS: {
      bool go = value != 0;
      if (held_ == !go) return 0;
      held_ = !go;
      SendFlowControl(go);
      return 0;
    }
    default: return 0;
  }
}

void VirtualModem::SendFlowControl(bool go) {
  // A pty has no CTS line. The tool stops reading while held, which stops the program
  // once the pty's buffer is full; a program that asked for XON/XOFF is told as well.
  if (!pty_.ProgramUsesSoftwareFlow()) return;
  uint8_t byte = go ? kXon : kXoff;
  trace_.ToProgram(&byte, 1);
  pty_.Write(&byte, 1);
}

// --- output to the program ---------------------------------------------------------

int VirtualModem::OnOutput(at_state_s*, void* self, const uint8_t* bytes, size_t length) {
  static_cast<VirtualModem*>(self)->Emit(bytes, length);
  return 0;
}

void VirtualModem::Emit(const uint8_t* bytes, size_t length) {
  if (suppress_ || silent_) return;
  std::string out(reinterpret_cast<const char*>(bytes), length);
  if (garbage_) {
    std::uniform_int_distribution<int> noise(0x21, 0xFE);
    for (char& c : out) c = static_cast<char>(noise(random_));
  }
  trace_.ToProgram(reinterpret_cast<const uint8_t*>(out.data()), out.size());
  if (delay_.count() > 0) {
    delayed_.emplace_back(Clock::now() + delay_, std::move(out));
    return;
  }
  pty_.Write(out.data(), out.size());
}

void VirtualModem::Result(const char* text, int numeric) {
  if (QuietOn(t31_)) return;
  std::string out;
  if (VerboseOn(t31_))
    out = std::string("\r\n") + text + "\r\n";
  else
    out = (numeric >= 0 ? std::to_string(numeric) : std::string(text)) + "\r";
  Emit(reinterpret_cast<const uint8_t*>(out.data()), out.size());
}

// --- input from the program --------------------------------------------------------

void VirtualModem::Service() {
  CheckProgram();
  while (!delayed_.empty() && delayed_.front().first <= Clock::now()) {
    pty_.Write(delayed_.front().second.data(), delayed_.front().second.size());
    delayed_.pop_front();
  }
  FeedProgram();
  DropCommandEscape();
  pty_.Flush();
}

void VirtualModem::CheckProgram() {
  if (pty_.UpdateAttached() && !pty_.Attached()) {
    // The program closed the port: like a DTR drop with a full reset, the next
    // program finds a modem in its power-on state.
    if (role_ != Role::kIdle && exchange_ != nullptr) exchange_->HangUp(this);
    if (class2Call_) class2_->ProgramLeft();
    SetRole(Role::kIdle);
    delayed_.clear();
    class2_.reset();
    class2Call_ = false;
    DestroyInterpreter();
    CreateInterpreter();
    return;
  }
  if (!pty_.Attached()) return;
  bool low = pty_.ProgramDroppedDtr();
  if (low && !dtrLow_) {
    // DTR dropped (speed 0): hang up and return to command mode.
    if (role_ != Role::kIdle && role_ != Role::kRinging) {
      if (exchange_ != nullptr) exchange_->HangUp(this);
      QuietEvent(AT_CALL_EVENT_HANGUP);
      if (class2Call_) {
        class2Call_ = false;
        class2_->Cleared(true);
      }
      SetRole(Role::kIdle);
    }
    inbox_.clear();
    line_.clear();
  }
  dtrLow_ = low;
}

void VirtualModem::FeedProgram() {
  uint8_t buffer[kChunk];
  for (int rounds = 0; rounds < 64; ++rounds) {
    if (inbox_.empty()) {
      if (held_) return;
      size_t want = kChunk;
      if (ModemDteMode(t31_) == DteMode::kStuffed)
        want = std::min<size_t>(want, static_cast<size_t>(std::max(0, TransmitBufferRoom(t31_))));
      if (want == 0) return;
      size_t got = pty_.Read(buffer, want);
      if (got == 0) return;
      lastInput_ = Clock::now();
      inbox_.assign(reinterpret_cast<const char*>(buffer), got);
    }
    size_t used = Consume(reinterpret_cast<const uint8_t*>(inbox_.data()), inbox_.size());
    inbox_.erase(0, used);
    if (used == 0) return;  // the modem cannot take more now
  }
}

// Hands the front of `bytes` to the modem in the way its current mode needs and
// returns how many were taken (0 when it is full).
size_t VirtualModem::Consume(const uint8_t* bytes, size_t length) {
  if (class2_ != nullptr && class2_->WantsData()) {
    const bool page = class2_->SendingPage();
    const size_t taken = class2_->Data(bytes, length);
    if (page) trace_.FromProgram(bytes, taken, false);
    return taken;
  }
  switch (ModemDteMode(t31_)) {
    case DteMode::kOnHookCommand:
    case DteMode::kOffHookCommand: return TakeCommandBytes(bytes, length);
    case DteMode::kDelivery:
      // Any byte ends a wait for a carrier; a lone LF is the tail of the command line.
      if (bytes[0] != '\n') ToInterpreter(reinterpret_cast<const char*>(bytes), 1);
      return 1;
    case DteMode::kConnected: ToInterpreter(reinterpret_cast<const char*>(bytes), length); return length;
    case DteMode::kHdlc:
    case DteMode::kStuffed: break;
  }
  const bool stuffed = ModemDteMode(t31_) == DteMode::kStuffed;
  size_t limit = length;
  if (stuffed) {
    if (held_) return 0;
    limit = std::min<size_t>(limit, static_cast<size_t>(std::max(0, TransmitBufferRoom(t31_))));
  } else {
    limit = std::min<size_t>(limit, static_cast<size_t>(std::max(0, kFrameByteLimit - PendingFrameBytes(t31_))));
  }
  // Bytes after DLE ETX belong to the next mode: stop there.
  const ql::dle::Unstuffer before = dataPairs_;
  size_t n = 0;
  bool ended = false;
  while (n < length && !ended)
    ended = dataPairs_.Classify(bytes[n++]) == ql::dle::Unstuffer::Byte::kControl &&
            dataPairs_.ControlByte() == ql::dle::kEtx;
  if (!stuffed && n > limit) {
    // A frame longer than any T.30 frame would overrun the modem: drop its body and
    // close it at the program's DLE ETX.
    if (ended) {
      const std::string close = ql::dle::EndPair();
      ToInterpreter(close.data(), close.size());
    }
    return n;
  }
  if (n > limit) {
    // Not all of it fits: take what fits, never splitting a DLE pair.
    dataPairs_ = before;
    size_t whole = 0;
    for (size_t i = 0; i < limit; ++i)
      if (dataPairs_.Classify(bytes[i]) != ql::dle::Unstuffer::Byte::kEscape) whole = i + 1;
    dataPairs_ = before;
    for (size_t i = 0; i < whole; ++i) dataPairs_.Classify(bytes[i]);
    n = whole;
    if (n == 0) return 0;
  }
  trace_.FromProgram(bytes, n, !stuffed);
  if (stuffed && pageCorrupter_.Armed()) {
    std::string spoilt(reinterpret_cast<const char*>(bytes), n);
    pageCorrupter_.Process(reinterpret_cast<uint8_t*>(spoilt.data()), spoilt.size());
    ToInterpreter(spoilt.data(), spoilt.size());
    return n;
  }
  ToInterpreter(reinterpret_cast<const char*>(bytes), n);
  return n;
}

size_t VirtualModem::TakeCommandBytes(const uint8_t* bytes, size_t length) {
  const char endOfLine = static_cast<char>(SRegister(t31_, 3));
  for (size_t i = 0; i < length; ++i) {
    char c = static_cast<char>(bytes[i]);
    if (line_.empty()) {
      if (c == '\n' || c == kXon || c == kXoff) continue;
      lineStarted_ = lastInput_;
    }
    line_ += c;
    if (c == endOfLine) {
      std::string raw;
      raw.swap(line_);
      HandleCommandLine(raw);
      return i + 1;  // the command may have changed the mode
    }
    if (line_.size() > kLongestCommandLine) line_.clear();
  }
  return length;
}

// "+++" with a second of quiet after it is the escape sequence. In command mode there
// is nothing to escape from, so it is simply dropped (and never reaches the parser).
void VirtualModem::DropCommandEscape() {
  if (line_.empty() || line_.find_first_not_of('+') != std::string::npos) return;
  if (Clock::now() - lastInput_ >= kGuardTime) line_.clear();
}

void VirtualModem::HandleCommandLine(const std::string& raw) {
  trace_.Command(raw);
  std::string command = NormalisedCommand(raw);
  auto echo = [&] {
    if (EchoOn(t31_)) Emit(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
  };
  auto claims = [&](const std::string& cls) {
    return cls == "0" || std::find(options_.classes.begin(), options_.classes.end(), cls) != options_.classes.end();
  };
  if (auto identity = IdentityAnswer(command)) {
    echo();
    PutResponse(t31_, identity->c_str());
    PutResultCode(t31_, AT_RESPONSE_CODE_OK);
    return;
  }
  if (command == "AT+FCLASS=?") {
    echo();
    std::string list = "0";
    for (const auto& cls : options_.classes) list += "," + cls;
    PutResponse(t31_, list.c_str());
    PutResultCode(t31_, AT_RESPONSE_CODE_OK);
    return;
  }
  if (command.rfind("AT+FCLASS=", 0) == 0) {
    std::string wanted = command.substr(10);
    if (wanted == "1.0") wanted = "1";
    if (!claims(wanted)) {
      echo();
      PutResultCode(t31_, AT_RESPONSE_CODE_ERROR);
      return;
    }
    if (wanted == "2" || wanted == "2.0") {
      echo();
      SelectClass2(wanted == "2.0");
      PutResultCode(t31_, AT_RESPONSE_CODE_OK);
      return;
    }
    class2_.reset();
    class2Call_ = false;
  }
  if (class2_ != nullptr) {
    if (command == "AT+FCLASS?") {
      echo();
      PutResponse(t31_, class2_->Version20() ? "2.0" : "2");
      PutResultCode(t31_, AT_RESPONSE_CODE_OK);
      return;
    }
    if (command.rfind("AT+F", 0) == 0) {
      echo();
      class2_->Command(command);
      return;
    }
  }
  ToInterpreter(raw.data(), raw.size());
}

void VirtualModem::ToInterpreter(const char* bytes, size_t length) {
  while (length > 0) {
    size_t n = std::min(length, kChunk);
    t31_at_rx(t31_, bytes, static_cast<int>(n));
    bytes += n;
    length -= n;
  }
}

// --- audio -------------------------------------------------------------------------

void VirtualModem::Transmit(int16_t* samples, int count) {
  if (class2_ != nullptr && class2_->InCall()) {
    class2_->Transmit(samples, count);
    trace_.Carrier(FastTransmission().bitRate);
    return;
  }
  int made = t31_tx(t31_, samples, count);
  std::fill(samples + std::max(made, 0), samples + count, int16_t{0});
  trace_.Carrier(FastTransmission().bitRate);
}

void VirtualModem::Receive(int16_t* samples, int count) {
  if (class2_ != nullptr && class2_->InCall()) {
    class2_->Receive(samples, count);
    std::fill(samples, samples + count, int16_t{0});  // the Class 1 side hears nothing
  }
  t31_rx(t31_, samples, count);
}

}  // namespace ql::vmodem
