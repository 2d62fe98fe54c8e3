#include "tools/qlvmodem/class2_engine.h"

#include <spandsp.h>

#include "tools/qlvmodem/dte_bytes.h"

#include <sstream>
#include <vector>

namespace ql::vmodem {

namespace {
constexpr int64_t kLingerSamples = 4000;  // half a second on the line after the last frame

uint8_t Reversed(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

int BitRateDigit(int bitRate) {
  switch (bitRate) {
    case 2400: return 0;
    case 4800: return 1;
    case 7200: return 2;
    case 12000: return 4;
    case 14400: return 5;
    default: return 3;
  }
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
                                       "+FVRFC", "+FWDFC", "+FLNFC", "+FRBC", "+FTBC"};
  for (const char* name : kNames) {
    std::string prefix = std::string(name) + "=";
    if (StartsWith(part, prefix.c_str())) return true;
  }
  return false;
}
}  // namespace

Class2Engine::Class2Engine(bool version20, std::filesystem::path workFolder, Hooks hooks)
    : v20_(version20), folder_(std::move(workFolder)), hooks_(std::move(hooks)) {}

Class2Engine::~Class2Engine() {
  StopTerminal();
  collector_.reset();
  std::error_code ec;
  if (!rxFile_.empty()) std::filesystem::remove(rxFile_, ec);
}

void Class2Engine::Line(const std::string& text) { hooks_.emit("\r\n" + text + "\r\n"); }

void Class2Engine::Report(const std::string& name, const std::string& value) { Line(name + ":" + value); }

std::string Class2Engine::SessionParameters() const {
  return std::to_string(resolution_) + "," + std::to_string(bitRate_) + ",0,2,0,0,0,0";
}

bool Class2Engine::Command(const std::string& command) {
  if (!StartsWith(command, "AT+F")) return false;
  bool answered = false;  // a command that gives its own final result later
  for (const std::string& part : Split(command.substr(2), ';')) {
    if (AcceptedSetting(part)) continue;
    if (StartsWith(part, "+FLID=") || StartsWith(part, "+FLI=")) {
      std::string id = part.substr(part.find('=') + 1);
      if (!id.empty() && id.front() == '"') id.erase(0, 1);
      if (!id.empty() && id.back() == '"') id.pop_back();
      localId_ = id.substr(0, 20);
      continue;
    }
    if (part == "+FLID?" || part == "+FLI?") {
      Line("\"" + localId_ + "\"");
      continue;
    }
    if (StartsWith(part, "+FDIS=") || StartsWith(part, "+FIS=") || StartsWith(part, "+FDCC=") ||
        StartsWith(part, "+FCC=")) {
      auto values = Split(part.substr(part.find('=') + 1), ',');
      if (!values.empty() && (values[0] == "0" || values[0] == "1")) resolution_ = values[0][0] - '0';
      if (values.size() > 1 && values[1].size() == 1 && values[1][0] >= '0' && values[1][0] <= '5')
        bitRate_ = values[1][0] - '0';
      continue;
    }
    if (part == "+FDIS?" || part == "+FIS?" || part == "+FDCC?" || part == "+FCC?") {
      Line(SessionParameters());
      continue;
    }
    if (part == "+FPTS?" || part == "+FPS?") {
      Report(Name("+FPTS", "+FPS"), lastPageGood_ ? "1" : "2");
      continue;
    }
    if (part == "+FDT" && state_ == State::kSendReady) {
      if (collector_ == nullptr) {
        std::error_code ec;
        std::filesystem::create_directories(folder_, ec);
        collector_ = std::make_unique<PageCollector>(folder_ / "class2-send.tif");
        Report(Name("+FDCS", "+FCS"), SessionParameters());
      }
      Line("CONNECT");
      if (!v20_) hooks_.emit(std::string(1, static_cast<char>(kXon)));
      collector_->StartPage(resolution_ == 1);
      dle_ = false;
      state_ = State::kTakingPage;
      answered = true;
      continue;
    }
    if (StartsWith(part, "+FET=") && !v20_ && state_ == State::kPageTaken) {
      if (RejectPage()) {
        Report("+FPTS", "2");
        Ok();
      } else if (part == "+FET=2") {
        int pages = collector_->Close();
        (void)pages;
        state_ = State::kSending;
        StartTerminal(true);
      } else {
        Report("+FPTS", "1");
        Ok();
        state_ = State::kSendReady;
      }
      answered = true;
      continue;
    }
    if (part == "+FDR" && (state_ == State::kReceiving || state_ == State::kDone)) {
      fdrPending_ = true;
      DeliverNextPage();
      answered = true;
      continue;
    }
    if (part == "+FKS" || part == "+FK") {
      StopTerminal();
      if (state_ != State::kIdle) hooks_.hangUp();
      state_ = State::kIdle;
      continue;
    }
    Line("ERROR");
    return true;
  }
  if (!answered) Ok();
  return true;
}

size_t Class2Engine::Data(const uint8_t* bytes, size_t length) {
  if (state_ == State::kWaitingForDc2) {
    for (size_t i = 0; i < length; ++i) {
      if (bytes[i] != kDc2) continue;
      // The page as T.4 code, bit order of the class, DLE doubled, DLE ETX at the end.
      std::string code = EncodePage(rxFile_, pagesDelivered_ + 1);
      std::string out;
      out.reserve(code.size() + 64);
      for (char c : code) {
        uint8_t b = v20_ ? static_cast<uint8_t>(c) : Reversed(static_cast<uint8_t>(c));
        out += static_cast<char>(b);
        if (b == kDle) out += static_cast<char>(kDle);
      }
      out += static_cast<char>(kDle);
      out += static_cast<char>(kEtx);
      hooks_.emit(out);
      ++pagesDelivered_;
      bool last = documentEnded_ && pagesDelivered_ == pagesArrived_;
      Report(Name("+FPTS", "+FPS"), "1");
      Report("+FET", last ? "2" : "0");
      Ok();
      state_ = hangupCode_ >= 0 ? State::kDone : State::kReceiving;
      return i + 1;
    }
    return length;
  }
  std::vector<uint8_t> page;
  page.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint8_t b = bytes[i];
    if (dle_) {
      dle_ = false;
      if (b == kDle) {
        page.push_back(v20_ ? b : Reversed(b));
        continue;
      }
      if (b == kEtx || b == ',' || b == '.') {
        collector_->Put(page.data(), page.size());
        PageTaken(b == '.');
        return i + 1;
      }
      continue;  // other DLE pairs carry nothing for the page
    }
    if (b == kDle) {
      dle_ = true;
      continue;
    }
    page.push_back(v20_ ? b : Reversed(b));
  }
  collector_->Put(page.data(), page.size());
  return length;
}

void Class2Engine::PageTaken(bool last) {
  collector_->EndPage();
  if (!v20_) {
    Ok();
    state_ = State::kPageTaken;
    return;
  }
  if (RejectPage()) {
    Line("ERROR");  // Class 2.0 reports a bad page this way; +FPS? tells more
    return;
  }
  if (!last) {
    Ok();
    state_ = State::kSendReady;
    return;
  }
  collector_->Close();
  state_ = State::kSending;
  StartTerminal(true);
}

// The ordered rejection of the first page: the page is dropped (the file starts again)
// and the program is to send it once more.
bool Class2Engine::RejectPage() {
  lastPageGood_ = !rejectFirstPage_;
  if (!rejectFirstPage_) return false;
  rejectFirstPage_ = false;
  std::filesystem::path file = collector_->Path();
  collector_.reset();
  collector_ = std::make_unique<PageCollector>(file);
  state_ = State::kSendReady;
  return true;
}

void Class2Engine::Connected(bool asCaller, const std::string& farIdent) {
  farIdent_ = farIdent;
  pagesArrived_ = pagesDelivered_ = 0;
  documentEnded_ = fdrPending_ = false;
  hangupCode_ = -1;
  collector_.reset();
  Line(Name("+FCON", "+FCO"));
  if (asCaller) {
    // What the far machine offers is known once T.30 runs; a fax machine's usual
    // capabilities are reported now, so the program can start its pages.
    if (!farIdent_.empty()) Report(Name("+FCSI", "+FCI"), "\"" + farIdent_ + "\"");
    Report(Name("+FDIS", "+FIS"), "1,5,0,2,0,0,0,0");
    Ok();
    state_ = State::kSendReady;
    return;
  }
  state_ = State::kReceiving;
  StartTerminal(false);
}

void Class2Engine::StartTerminal(bool calling) {
  StopTerminal();
  sending_ = calling;
  lingered_ = 0;
  terminal_ = std::make_unique<FaxTerminal>(calling, localId_);
  t30_state_t* t30 = terminal_->T30();
  if (calling) {
    t30_set_tx_file(t30, collector_->Path().c_str(), -1, -1);
  } else {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    rxFile_ = folder_ / "class2-receive.tif";
    std::filesystem::remove(rxFile_, ec);
    t30_set_rx_file(t30, rxFile_.c_str(), -1);
  }
  terminal_->SetFrameHandler(&Class2Engine::OnFrame, this);
  t30_set_phase_b_handler(t30, &Class2Engine::OnPhaseB, this);
  t30_set_phase_d_handler(t30, &Class2Engine::OnPhaseD, this);
  t30_set_phase_e_handler(t30, &Class2Engine::OnPhaseE, this);
}

void Class2Engine::StopTerminal() { terminal_.reset(); }

// Keeps the resolution bit of a received DCS (FF 13 83, FIF byte 2 bit 0x40), which the
// session report needs before the page statistics exist.
void Class2Engine::OnFrame(t30_state_s*, void* self, int direction, const uint8_t* frame, int length) {
  if (direction != 0 && length >= 5 && (frame[2] & 0xFE) == T30_DCS)
    static_cast<Class2Engine*>(self)->dcsFine_ = (frame[4] & 0x40) != 0;
}

int Class2Engine::OnPhaseB(t30_state_s* t30, void* self, int fcf) {
  auto* engine = static_cast<Class2Engine*>(self);
  if (engine->state_ != State::kReceiving || (fcf & 0xFE) != T30_DCS) return T30_ERR_OK;
  const char* far = t30_get_rx_ident(t30);
  engine->Report(engine->Name("+FTSI", "+FTI"), std::string("\"") + (far != nullptr ? far : "") + "\"");
  t30_stats_t stats{};
  t30_get_transfer_statistics(t30, &stats);
  int fine = engine->dcsFine_ ? 1 : 0;
  engine->Report(engine->Name("+FDCS", "+FCS"),
                 std::to_string(fine) + "," + std::to_string(BitRateDigit(stats.bit_rate)) + ",0,2,0,0,0,0");
  engine->Ok();
  return T30_ERR_OK;
}

int Class2Engine::OnPhaseD(t30_state_s* t30, void* self, int fcf) {
  auto* engine = static_cast<Class2Engine*>(self);
  if (engine->state_ != State::kReceiving && engine->state_ != State::kWaitingForDc2) return T30_ERR_OK;
  t30_stats_t stats{};
  t30_get_transfer_statistics(t30, &stats);
  engine->pagesArrived_ = stats.pages_rx;
  if ((fcf & 0xFE) == T30_EOP) engine->documentEnded_ = true;
  if (engine->fdrPending_) engine->DeliverNextPage();
  return T30_ERR_OK;
}

void Class2Engine::OnPhaseE(t30_state_s*, void* self, int code) {
  auto* engine = static_cast<Class2Engine*>(self);
  if (engine->state_ == State::kSending) {
    engine->FinishSend(code);
  } else {
    engine->FinishReceive(code);
  }
}

void Class2Engine::FinishSend(int code) {
  std::string hangup = code == T30_ERR_OK ? "0" : std::to_string(100 + code);
  if (!v20_) {
    Report("+FPTS", code == T30_ERR_OK ? "1" : "2");
    Report("+FHNG", hangup);
    Ok();
  } else {
    Report("+FHS", hangup);
    Line(code == T30_ERR_OK ? "OK" : "ERROR");
  }
  hangupCode_ = code == T30_ERR_OK ? 0 : 100 + code;
  state_ = State::kDone;
}

void Class2Engine::FinishReceive(int code) {
  hangupCode_ = code == T30_ERR_OK ? 0 : 100 + code;
  documentEnded_ = true;
  if (state_ != State::kWaitingForDc2) state_ = State::kDone;
  if (fdrPending_) DeliverNextPage();
}

void Class2Engine::DeliverNextPage() {
  if (pagesDelivered_ < pagesArrived_) {
    fdrPending_ = false;
    Line("CONNECT");
    state_ = State::kWaitingForDc2;
    return;
  }
  if (documentEnded_ && hangupCode_ >= 0) {
    fdrPending_ = false;
    Report(Name("+FHNG", "+FHS"), std::to_string(hangupCode_));
    Ok();
    state_ = State::kIdle;
  }
}

void Class2Engine::Cleared() {
  if (terminal_ != nullptr) t30_terminate(terminal_->T30());
  StopTerminal();
  if (state_ == State::kSendReady || state_ == State::kTakingPage || state_ == State::kPageTaken) {
    Report(Name("+FHNG", "+FHS"), "149");
    state_ = State::kIdle;
  }
}

void Class2Engine::Transmit(int16_t* samples, int count) {
  if (terminal_ != nullptr)
    terminal_->Transmit(samples, count);
  else
    std::fill(samples, samples + count, int16_t{0});
}

void Class2Engine::Receive(int16_t* samples, int count) {
  if (terminal_ == nullptr) return;
  terminal_->Receive(samples, count);
  if (hangupCode_ >= 0 && terminal_ != nullptr) {
    lingered_ += count;
    if (lingered_ >= kLingerSamples) {
      StopTerminal();
      lingered_ = 0;
      hooks_.hangUp();
      if (state_ == State::kDone && sending_) state_ = State::kIdle;
    }
  }
}

FastCarrier Class2Engine::FastTransmission() const {
  return terminal_ != nullptr ? terminal_->FastTransmission() : FastCarrier{};
}

}  // namespace ql::vmodem
