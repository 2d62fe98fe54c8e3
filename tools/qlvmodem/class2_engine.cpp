// The program's side of a Class 2/2.0 modem: +F commands, reports and page data.

#include "tools/qlvmodem/class2_engine.h"

#include <sstream>
#include <vector>

#include "tools/qlvmodem/dte_bytes.h"

namespace ql::vmodem {

namespace {
// Page data the modem holds for the line: past the first it stops taking more; a
// program that paces with XON/XOFF is stopped past the second and let go again below
// the third, well before the line runs dry (that would spoil the rows on their way).
constexpr size_t kPageBacklog = 2048;
constexpr size_t kPauseAbove = 1024;
constexpr size_t kResumeBelow = 512;

uint8_t Reversed(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Settings a program may give that change nothing in this modem.
bool AcceptedSetting(const std::string& part) {
  static const char* const kNames[] = {"+FCR", "+FAA", "+FLO", "+FNR", "+FBO", "+FBOR", "+FPP", "+FIE", "+FCT",
                                       "+FPHCTO", "+FTBC", "+FCQ", "+FAP", "+FMS", "+FMINSP", "+FLP", "+FSP",
                                       "+FRQ", "+FPI", "+FPA", "+FSA", "+FNS", "+FIT", "+FBUG", "+FREL", "+FECM",
                                       "+FVRFC", "+FWDFC", "+FLNFC", "+FRBC"};
  for (const char* name : kNames) {
    std::string prefix = std::string(name) + "=";
    if (StartsWith(part, prefix.c_str())) return true;
  }
  return false;
}

bool OneOf(const std::string& part, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (part == name) return true;
  return false;
}

std::string ValueOf(const std::string& part) { return part.substr(part.find('=') + 1); }

bool IsAcceptedStatus(int status) { return status == 1 || status == 3 || status == 5; }

// The post-page command a Class 2.0 program names in the pair that ends its page.
int PostPageOfPair(uint8_t control) {
  switch (control) {
    case ',': return fcf::kMps;
    case ';': return fcf::kEom;
    case '.': return fcf::kEop;
    default: return -1;
  }
}
}  // namespace

Class2Engine::Class2Engine(bool version20, Hooks hooks)
    : v20_(version20), hooks_(std::move(hooks)), session_(*this, hooks_.trace, hooks_.note) {}

Class2Engine::~Class2Engine() = default;

void Class2Engine::Line(const std::string& text) { hooks_.emit("\r\n" + text + "\r\n"); }

void Class2Engine::Report(const char* class2, const char* class20, const std::string& value) {
  Line(std::string(v20_ ? class20 : class2) + ":" + value);
}

void Class2Engine::FinalResult(bool ok) {
  commandPending_ = false;
  Line(ok ? "OK" : "ERROR");
}

// --- commands ------------------------------------------------------------------------

bool Class2Engine::Command(const std::string& command) {
  if (!StartsWith(command, "AT+F")) return false;
  bool answered = false;  // an action command gives its own final result later
  for (const std::string& part : Split(command.substr(2), ';')) {
    if (!SessionCommand(part, answered)) {
      Line("ERROR");
      return true;
    }
    if (answered) return true;
  }
  Line("OK");
  return true;
}

bool Class2Engine::SessionCommand(const std::string& part, bool& answered) {
  if (AcceptedSetting(part)) return true;
  if (StartsWith(part, "+FLID=") || StartsWith(part, "+FLI=")) {
    std::string id = ValueOf(part);
    if (!id.empty() && id.front() == '"') id.erase(0, 1);
    if (!id.empty() && id.back() == '"') id.pop_back();
    localId_ = id.substr(0, 20);
    return true;
  }
  if (part == "+FIP" || part == "+FIP=0") {
    // Class 2.0's reset: the program's session settings return to their initial values.
    localId_.clear();
    local_ = SessionParameters{};
    pageStatusSetting_ = 0;
    return true;
  }
  if (OneOf(part, {"+FLID?", "+FLI?"})) {
    Line("\"" + localId_ + "\"");
    return true;
  }
  if (StartsWith(part, "+FDIS=") || StartsWith(part, "+FIS=") || StartsWith(part, "+FDCC=") ||
      StartsWith(part, "+FCC="))
    return local_.Parse(ValueOf(part));
  if (OneOf(part, {"+FDIS?", "+FIS?", "+FDCC?", "+FCC?"})) {
    Line(local_.Text());
    return true;
  }
  if (OneOf(part, {"+FDCS?", "+FCS?"})) {
    Line(chosen_.Text());
    return true;
  }
  if (OneOf(part, {"+FPTS?", "+FPS?"})) {
    Report("+FPTS", "+FPS", std::to_string(lastPageStatus_));
    return true;
  }
  if (StartsWith(part, "+FPTS=") || StartsWith(part, "+FPS=")) {
    std::string value = ValueOf(part);
    if (value.size() != 1 || value[0] < '1' || value[0] > '5') return false;
    pageStatusSetting_ = value[0] - '0';
    return true;
  }
  if (part == "+FDT") {
    if (!session_.SendPage()) return false;
    answered = commandPending_ = true;
    return true;
  }
  if (StartsWith(part, "+FET=")) {
    static constexpr int kPostPage[] = {fcf::kMps, fcf::kEom, fcf::kEop};
    std::string value = ValueOf(part);
    if (value.size() != 1 || value[0] < '0' || value[0] > '2' || !session_.EndPage(kPostPage[value[0] - '0']))
      return false;
    answered = commandPending_ = true;
    return true;
  }
  if (part == "+FDR") {
    if (!session_.InCall() || session_.Caller()) return false;
    answered = commandPending_ = true;
    ReadyForPage();
    return true;
  }
  if (OneOf(part, {"+FKS", "+FK"})) {
    answered = commandPending_ = true;
    if (!session_.Abort()) answered = commandPending_ = false;  // no call: nothing to end
    return true;
  }
  return false;
}

void Class2Engine::Connected(bool asCaller) {
  commandPending_ = true;  // the ATD or ATA that made the call
  lastPageStatus_ = 1;
  pageStatusSetting_ = 0;
  chosen_ = SessionParameters{};
  fromProgram_.Reset();
  held_ = false;
  handover_ = Handover::kNone;
  pageIn_ = PageIn::kNone;
  waiting_.clear();
  postPage_ = 0;
  session_.Connected(asCaller, localId_, local_);
}

void Class2Engine::Transmit(int16_t* samples, int count) {
  session_.Transmit(samples, count);
  Pace();
}

void Class2Engine::Receive(int16_t* samples, int count) {
  session_.Receive(samples, count);
  Pace();
}

// --- page data from the program (sending) ------------------------------------------

bool Class2Engine::WantsData() const {
  return session_.SendingPage() || handover_ == Handover::kAwaitingDc2 || handover_ == Handover::kStreaming;
}

size_t Class2Engine::Data(const uint8_t* bytes, size_t length) {
  if (!session_.SendingPage()) {
    // Receiving: DC2 says the program is ready for the page; anything else (flow
    // control characters) carries nothing for the modem.
    size_t taken = length;
    TakeDc2(bytes, length, taken);
    return taken;
  }
  if (session_.PageBytesWaiting() > kPageBacklog) return 0;
  std::string data;
  const auto taken = fromProgram_.Take({reinterpret_cast<const char*>(bytes), length}, data);
  session_.PageBytes(data);  // sent data has the same bit order in every class
  if (taken.stop == ql::dle::Unstuffer::Stop::kEnd) {
    session_.PageDataEnd(0);  // DLE ETX: +FET names what follows
  } else if (taken.stop == ql::dle::Unstuffer::Stop::kControl && v20_) {
    const int postPage = PostPageOfPair(fromProgram_.ControlByte());
    if (postPage > 0) session_.PageDataEnd(postPage);  // other pairs carry nothing for the page
  }
  Pace();
  return taken.consumed;
}

// A Class 2 modem paces the program's page data with XON/XOFF: it asks the program to
// stop while it holds enough, and to go on once the line has taken most of it. Once
// the page has ended nothing holds the program any more.
void Class2Engine::Pace() {
  const size_t waiting = session_.SendingPage() ? session_.PageBytesWaiting() : 0;
  const bool hold = held_ ? waiting >= kResumeBelow : waiting > kPauseAbove;
  if (hold == held_) return;
  held_ = hold;
  if (hooks_.flow) hooks_.flow(!hold);
}

// --- page data for the program (receiving) -----------------------------------------

void Class2Engine::TakeDc2(const uint8_t* bytes, size_t length, size_t& taken) {
  if (handover_ != Handover::kAwaitingDc2) return;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != kDc2) continue;
    handover_ = Handover::kStreaming;
    taken = i + 1;
    Deliver();
    return;
  }
}

// +FDR: the program wants the next page, or the answer to the last one to go out.
void Class2Engine::ReadyForPage() {
  if (session_.AwaitingAnswer()) {
    const int status = pageStatusSetting_ != 0 ? pageStatusSetting_ : lastPageStatus_;
    pageStatusSetting_ = 0;
    handover_ = Handover::kAwaitingPage;
    session_.AnswerPage(status);
    return;
  }
  if (pageIn_ != PageIn::kNone) {
    Line("CONNECT");
    handover_ = Handover::kAwaitingDc2;
    return;
  }
  handover_ = Handover::kAwaitingPage;
}

// What has arrived goes on at once while the page streams, else waits; the end of the
// page follows its last byte.
void Class2Engine::Deliver() {
  if (handover_ != Handover::kStreaming) return;
  std::string out;
  out.reserve(waiting_.size() + 16);
  for (char c : waiting_) {
    const auto b = static_cast<uint8_t>(c);
    ql::dle::AppendStuffedByte(out, v20_ ? b : Reversed(b));
  }
  waiting_.clear();
  if (pageIn_ == PageIn::kEnded) {
    out += ql::dle::EndPair();
    handover_ = Handover::kDelivered;
  }
  if (!out.empty()) hooks_.emit(out);
  ReportReceivedPage();
}

// After the page's data: its status and the post-page command, once both the program
// has the whole page and the sender has said what follows.
void Class2Engine::ReportReceivedPage() {
  if (handover_ != Handover::kDelivered || postPage_ == 0) return;
  handover_ = Handover::kNone;
  pageIn_ = PageIn::kNone;
  Report("+FPTS", "+FPS", std::to_string(lastPageStatus_));
  Report("+FET", "+FET", postPage_ == fcf::kMps ? "0" : postPage_ == fcf::kEom ? "1" : "2");
  FinalResult(true);
}

// --- what the session reports ------------------------------------------------------

void Class2Engine::FaxConnection() { Line(v20_ ? "+FCO" : "+FCON"); }

// +FCSI and +FDIS tell the program what the far machine is and can take.
void Class2Engine::FarCapabilities(const std::string& farId, const SessionParameters& offered) {
  if (!farId.empty()) Report("+FCSI", "+FCI", "\"" + farId + "\"");
  Report("+FDIS", "+FIS", offered.Text());
  if (commandPending_) FinalResult(true);
}

void Class2Engine::SenderId(const std::string& farId) { Report("+FTSI", "+FTI", "\"" + farId + "\""); }

void Class2Engine::ParametersChosen(const SessionParameters& chosen) {
  chosen_ = chosen;
  Report("+FDCS", "+FCS", chosen.Text());
}

void Class2Engine::PageCarrierUp() {
  Line("CONNECT");
  if (!v20_) hooks_.emit(std::string(1, static_cast<char>(kXon)));  // send now
  fromProgram_.Reset();
}

void Class2Engine::PageSent(bool awaitPostPage) {
  if (awaitPostPage) FinalResult(true);
}

// Class 2 reports each page's status; Class 2.0 answers a rejected page with ERROR and
// tells the status on +FPS?.
void Class2Engine::PageAnswered(int status, bool goesOn) {
  lastPageStatus_ = status;
  if (!v20_) Report("+FPTS", "+FPS", std::to_string(status));
  if (goesOn) FinalResult(IsAcceptedStatus(status) || !v20_);
}

// The training was confirmed: the ATA has set the call up, unless a +FDR already waits
// for the page (a sender that trains again after a rejected page).
void Class2Engine::ReadyToReceive() {
  if (handover_ != Handover::kAwaitingPage && commandPending_) FinalResult(true);
}

void Class2Engine::PageArriving() {
  pageIn_ = PageIn::kArriving;
  waiting_.clear();
  postPage_ = 0;
  if (handover_ != Handover::kAwaitingPage) return;
  Line("CONNECT");
  handover_ = Handover::kAwaitingDc2;
}

void Class2Engine::PageData(const std::string& bytes) {
  waiting_ += bytes;
  Deliver();
}

void Class2Engine::PageArrived(int status) {
  lastPageStatus_ = status;
  pageIn_ = PageIn::kEnded;
  Deliver();
}

void Class2Engine::PostPageCommand(int postPage) {
  postPage_ = postPage;
  ReportReceivedPage();
}

void Class2Engine::SessionEnded(int hangupCode) {
  Report("+FHNG", "+FHS", std::to_string(hangupCode));
  handover_ = Handover::kNone;
  pageIn_ = PageIn::kNone;
  Pace();
}

void Class2Engine::OnHook(bool ok, bool clearCall) {
  if (clearCall && hooks_.hangUp) hooks_.hangUp();
  if (commandPending_) FinalResult(ok);
}

}  // namespace ql::vmodem
