// The program's side of a Class 2/2.0 modem: +F commands, reports and page data.
// The fax session itself (T.30 on the Class 1 layer) is in class2_session.cpp.

#include "tools/qlvmodem/class2_engine.h"

#include <sstream>
#include <vector>

#include "tools/qlvmodem/dte_bytes.h"

namespace ql::vmodem {

namespace {
// Page data the modem holds for the line before it stops taking more from the program.
constexpr size_t kPageBacklog = 2048;

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

// Stuffs page data for the modem-to-program direction or the Class 1 layer.
void AppendStuffed(std::string& out, uint8_t byte) {
  out += static_cast<char>(byte);
  if (byte == kDle) out += static_cast<char>(kDle);
}
}  // namespace

Class2Engine::Class2Engine(bool version20, Hooks hooks) : v20_(version20), hooks_(std::move(hooks)) {}

Class2Engine::~Class2Engine() = default;

void Class2Engine::Line(const std::string& text) { hooks_.emit("\r\n" + text + "\r\n"); }

void Class2Engine::Report(const char* class2, const char* class20, const std::string& value) {
  Line(std::string(v20_ ? class20 : class2) + ":" + value);
}

void Class2Engine::FinalResult(bool ok) {
  commandPending_ = false;
  Line(ok ? "OK" : "ERROR");
}

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
    Line(session_.Text());
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
    if (state_ != State::kReady) return false;
    answered = true;
    commandPending_ = true;
    StartPage();
    return true;
  }
  if (StartsWith(part, "+FET=")) {
    std::string value = ValueOf(part);
    if (state_ != State::kAwaitFet || value.size() != 1 || value[0] < '0' || value[0] > '2') return false;
    answered = true;
    commandPending_ = true;
    EndOfPageCommand(value[0] == '0' ? fcf::kMps : value[0] == '1' ? fcf::kEom : fcf::kEop);
    return true;
  }
  if (part == "+FDR") {
    if (link_ == nullptr || caller_) return false;
    answered = true;
    commandPending_ = true;
    ProgramReadyForPage();
    return true;
  }
  if (OneOf(part, {"+FKS", "+FK"})) {
    if (link_ != nullptr && state_ != State::kClosing) {
      answered = true;
      commandPending_ = true;
      AbortSession();
    }
    return true;
  }
  return false;
}

// --- page data from the program (sending) ------------------------------------------

bool Class2Engine::WantsData() const {
  return state_ == State::kPageData || awaitingDc2_ || (programReady_ && !pageDelivered_);
}

size_t Class2Engine::Data(const uint8_t* bytes, size_t length) {
  if (state_ != State::kPageData) {
    // Receiving: DC2 says the program is ready for the page; anything else (flow
    // control characters) carries nothing for the modem.
    for (size_t i = 0; i < length; ++i) {
      if (bytes[i] == kDc2 && awaitingDc2_) {
        awaitingDc2_ = false;
        programReady_ = true;
        GivePageToProgram({});
        return i + 1;
      }
    }
    return length;
  }
  if (link_->DataWaiting() > kPageBacklog) return 0;
  Enter(State::kPageData, kProgramSilence);  // the program is still there
  std::string stuffed;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t b = bytes[i];
    if (dle_) {
      dle_ = false;
      if (b == kDle) {
        AppendStuffed(stuffed, b);
        continue;
      }
      int postPage = -1;  // DLE ETX ends the page; Class 2.0 may name the post-page command
      if (b == kEtx) postPage = 0;
      if (v20_ && b == ',') postPage = fcf::kMps;
      if (v20_ && b == ';') postPage = fcf::kEom;
      if (v20_ && b == '.') postPage = fcf::kEop;
      if (postPage < 0) continue;  // other DLE pairs carry nothing for the page
      stuffed += static_cast<char>(kDle);
      stuffed += static_cast<char>(kEtx);
      corrupter_.Process(reinterpret_cast<uint8_t*>(stuffed.data()), stuffed.size());
      stuffed.resize(stuffed.size() - 2);
      link_->SendData(stuffed);
      link_->EndData();
      postPage_ = postPage;
      Enter(State::kPageDrain);
      return i + 1;
    }
    if (b == kDle) {
      dle_ = true;
      continue;
    }
    AppendStuffed(stuffed, b);
  }
  corrupter_.Process(reinterpret_cast<uint8_t*>(stuffed.data()), stuffed.size());
  link_->SendData(stuffed);
  return length;
}

// --- page data for the program (receiving) -----------------------------------------

// +FDR: the program wants the next page, or the answer to the last one sent.
void Class2Engine::ProgramReadyForPage() {
  if (state_ == State::kAwaitFdr) {
    fdrPending_ = true;
    static constexpr uint8_t kResponses[] = {fcf::kMcf, fcf::kMcf, fcf::kRtn, fcf::kRtp, fcf::kPin, fcf::kPip};
    const uint8_t response = kResponses[pageStatusSetting_ != 0 ? pageStatusSetting_ : lastPageStatus_];
    pageStatusSetting_ = 0;
    responseSent_ = response;
    NoteVerdict("page " + std::to_string(pagesAccepted_ + 1) + " received, answered ", response);
    Send(State::kSendPostPageResponse, {MakeFrame(response, {}, true)});
    return;
  }
  if (pageStarted_ && !pageDelivered_) {
    Line("CONNECT");
    awaitingDc2_ = true;
    return;
  }
  fdrPending_ = true;
}

// Page data from the line: spoilt when the page-rejection fault is armed, judged by the
// copy check, and handed on.
void Class2Engine::PageArrived(std::string bytes, bool ended) {
  if (corrupter_.Armed()) {
    // The corrupter works on the stuffed stream, as a program would write it.
    std::string stuffed;
    for (char c : bytes) AppendStuffed(stuffed, static_cast<uint8_t>(c));
    if (ended) stuffed += std::string{static_cast<char>(kDle), static_cast<char>(kEtx)};
    corrupter_.Process(reinterpret_cast<uint8_t*>(stuffed.data()), stuffed.size());
    // It changes neither the length nor any DLE, so the stream stays well formed.
    bytes.clear();
    const size_t dataEnd = ended ? stuffed.size() - 2 : stuffed.size();
    for (size_t i = 0; i < dataEnd; ++i) {
      if (static_cast<uint8_t>(stuffed[i]) == kDle) ++i;  // DLE DLE: one data byte 0x10
      if (i < dataEnd) bytes += stuffed[i];
    }
  }
  checker_.Put(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (ended) {
    const PageChecker::Quality quality = checker_.EndPage();
    lastPageStatus_ = quality == PageChecker::Quality::kGood ? 1 : quality == PageChecker::Quality::kPoor ? 3 : 2;
    pageEnded_ = true;
  }
  GivePageToProgram(bytes);
}

// Page data arrives (or the program became ready): it goes on at once when the
// program has sent DC2, else it waits; the end of the page follows its last byte.
void Class2Engine::GivePageToProgram(const std::string& bytes) {
  pageIn_ += bytes;
  if (!programReady_ || pageDelivered_) return;
  std::string out;
  out.reserve(pageIn_.size() + 16);
  for (char c : pageIn_) AppendStuffed(out, v20_ ? static_cast<uint8_t>(c) : Reversed(static_cast<uint8_t>(c)));
  pageIn_.clear();
  if (pageEnded_) {
    out += static_cast<char>(kDle);
    out += static_cast<char>(kEtx);
    pageDelivered_ = true;
    programReady_ = false;
  }
  if (!out.empty()) hooks_.emit(out);
  if (pageDelivered_) ReportReceivedPage();
}

// After the page's data: its status and the post-page command, once both the program
// has the whole page and the sender has said what follows.
void Class2Engine::ReportReceivedPage() {
  if (!pageDelivered_ || !postPageKnown_ || pageReported_) return;
  pageReported_ = true;
  Report("+FPTS", "+FPS", std::to_string(lastPageStatus_));
  Report("+FET", "+FET", postPage_ == fcf::kMps ? "0" : postPage_ == fcf::kEom ? "1" : "2");
  FinalResult(true);
}

}  // namespace ql::vmodem
