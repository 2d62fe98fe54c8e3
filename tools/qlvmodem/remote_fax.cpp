#include "tools/qlvmodem/remote_fax.h"

#include <spandsp.h>

#include <cstdio>
#include <fstream>
#include <system_error>

#include "platform/atomic_file.h"
#include "tools/qlvmodem/exchange.h"
#include "tools/qlvmodem/spandsp_access.h"

namespace ql::vmodem {

namespace {
// After its last frame a machine stays on the line a moment, so that frame is heard.
constexpr int64_t kLingerSamples = kSampleRate / 2;

int Dpi(int pixelsPerMetre) { return static_cast<int>(pixelsPerMetre * 0.0254 + 0.5); }

std::string FourDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", n);
  return text;
}
}  // namespace

std::string RecordField(const std::string& text, const std::string& key) {
  const std::string lines = "\n" + text;
  const size_t at = lines.find("\n" + key + "=");
  if (at == std::string::npos) return {};
  const size_t start = at + key.size() + 2;
  return lines.substr(start, lines.find('\n', start) - start);
}

std::string FormatRecord(const SessionRecord& r) {
  std::string text;
  auto add = [&text](const std::string& key, const std::string& value) { text += key + "=" + value + "\n"; };
  add("sequence", std::to_string(r.sequence));
  add("direction", r.direction);
  add("other_number", r.otherNumber);
  add("remote_id", r.remoteId);
  add("pages", std::to_string(r.pages));
  add("resolution", std::to_string(r.xResolution) + "x" + std::to_string(r.yResolution));
  add("bit_rate", std::to_string(r.bitRate));
  add("ecm", r.ecm ? "1" : "0");
  add("bad_rows", std::to_string(r.badRows));
  add("result", std::to_string(r.resultCode));
  add("result_text", r.resultText);
  add("tiff", r.tiff);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", r.lineSeconds);
  add("line_seconds", seconds);
  return text;
}

RemoteFax::RemoteFax(RemoteOptions options) : Endpoint(options.number), options_(std::move(options)) {}

RemoteFax::RemoteFax(RemoteOptions options, std::string target, std::filesystem::path tiff)
    : Endpoint(options.number),
      options_(std::move(options)),
      calling_(true),
      target_(std::move(target)),
      sendFile_(std::move(tiff)) {}

RemoteFax::~RemoteFax() { StopTerminal(); }

std::string RemoteFax::Describe() const {
  return std::string(calling_ ? "calling" : "answering") + " remote " + Number();
}

void RemoteFax::Start() {
  if (state_ != State::kIdle || exchange_ == nullptr) return;
  state_ = State::kDialling;
  otherNumber_ = target_;
  exchange_->Dial(this, target_);
}

void RemoteFax::IncomingCall(const std::string& callerNumber) {
  otherNumber_ = callerNumber;
  rings_ = 0;
  state_ = State::kRinging;
}

void RemoteFax::Ring() {
  if (state_ != State::kRinging) return;
  if (++rings_ >= options_.answerAfterRings && exchange_ != nullptr) exchange_->Answer(this);
}

void RemoteFax::Connected(bool asCaller) {
  state_ = State::kInCall;
  StartTerminal(asCaller);
}

void RemoteFax::DialFailed(DialOutcome outcome) {
  current_ = {};
  current_.sequence = static_cast<int>(records_.size()) + 1;
  current_.direction = "sent";
  current_.otherNumber = otherNumber_;
  static const char* const kTexts[] = {"busy", "no answer", "no dial tone", "voice answer", "no carrier"};
  current_.resultText = std::string("dial failed: ") + kTexts[static_cast<int>(outcome)];
  records_.push_back(current_);
  Finish();
}

void RemoteFax::Cleared() {
  if (terminal_ != nullptr) {
    // The call dropped under a running session: T.30 gives its phase E result now.
    t30_terminate(terminal_->T30());
  }
  StopTerminal();
  Finish();
}

void RemoteFax::Finish() {
  state_ = calling_ ? State::kDone : State::kIdle;
  faults_.clear();
}

void RemoteFax::StartTerminal(bool calling) {
  terminal_ = std::make_unique<FaxTerminal>(calling, options_.ident, options_.trace, calling ? "CALLER" : "ANSWER");
  t30_state_t* t30 = terminal_->T30();
  current_ = {};
  current_.otherNumber = otherNumber_;
  samplesInCall_ = 0;
  if (calling_) {
    current_.direction = "sent";
    current_.sequence = static_cast<int>(records_.size()) + 1;
    t30_set_tx_file(t30, sendFile_.c_str(), -1, -1);
  } else {
    current_.direction = "received";
    std::error_code ec;
    std::filesystem::create_directories(options_.folder, ec);
    int n = static_cast<int>(records_.size()) + 1;
    while (std::filesystem::exists(options_.folder / ("fax-" + FourDigits(n) + ".tif"), ec)) ++n;
    current_.sequence = n;
    current_.tiff = (options_.folder / ("fax-" + FourDigits(n) + ".tif")).string();
    t30_set_rx_file(t30, current_.tiff.c_str(), -1);
  }
  t30_set_phase_b_handler(t30, &RemoteFax::OnPhaseB, this);
  t30_set_phase_e_handler(t30, &RemoteFax::OnPhaseE, this);
}

void RemoteFax::StopTerminal() { terminal_.reset(); }

int RemoteFax::OnPhaseB(t30_state_s*, void* self, int fcf) {
  auto* remote = static_cast<RemoteFax*>(self);
  // Ordered disconnect: the receiving machine answers the sender's parameters with DCN.
  if (!remote->calling_ && (fcf & 0xFE) == T30_DCS && HasFault(remote->faults_, FaultKind::kDisconnect))
    return T30_ERR_CALLDROPPED;
  return T30_ERR_OK;
}

void RemoteFax::OnPhaseE(t30_state_s*, void* self, int code) { static_cast<RemoteFax*>(self)->Complete(code); }

void RemoteFax::Complete(int code) {
  t30_state_t* t30 = terminal_->T30();
  t30_stats_t stats{};
  t30_get_transfer_statistics(t30, &stats);
  current_.pages = calling_ ? stats.pages_tx : stats.pages_rx;
  // The library reports a session OK once the sender's last post-page command has been
  // seen, also when that page was rejected and the call then dropped: a session that got
  // no page through failed, and says how.
  if (code == T30_ERR_OK && current_.pages == 0) code = T30_ERR_CALLDROPPED;
  current_.xResolution = Dpi(stats.x_resolution);
  current_.yResolution = Dpi(stats.y_resolution);
  current_.bitRate = stats.bit_rate;
  current_.ecm = stats.error_correcting_mode != 0;
  current_.badRows = stats.bad_rows;
  current_.resultCode = code;
  current_.resultText = t30_completion_code_to_str(code);
  const char* far = t30_get_rx_ident(t30);
  // The ID field is padded with spaces, at whichever end the far machine chose.
  std::string id = far != nullptr ? far : "";
  const size_t first = id.find_first_not_of(' ');
  current_.remoteId = first == std::string::npos ? std::string() : id.substr(first, id.find_last_not_of(' ') - first + 1);
  current_.lineSeconds = static_cast<double>(samplesInCall_) / kSampleRate;
  if (current_.pages == 0 && !calling_) {
    std::error_code ec;
    std::filesystem::remove(current_.tiff, ec);
    current_.tiff.clear();
  }
  records_.push_back(current_);
  SaveRecord();
  if (exchange_ != nullptr) {
    std::string text = std::string(calling_ ? "sent " : "received ") + std::to_string(current_.pages) + " page(s)";
    if (!current_.remoteId.empty()) text += (calling_ ? " to \"" : " from \"") + current_.remoteId + "\"";
    if (current_.bitRate > 0) text += " at " + std::to_string(current_.bitRate) + " bit/s";
    exchange_->Note(this, text + ", result " + std::to_string(code) + " (" + current_.resultText + ")");
  }
  if (state_ == State::kInCall) {
    state_ = State::kClosing;
    closingSamples_ = 0;
  }
}

void RemoteFax::SaveRecord() {
  if (options_.folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(options_.folder, ec);
  std::string prefix = calling_ ? "sent-" : "fax-";
  auto path = options_.folder / (prefix + FourDigits(current_.sequence) + ".txt");
  WriteFileAtomically(path, FormatRecord(current_));
}

void RemoteFax::Transmit(int16_t* samples, int count) {
  if (terminal_ != nullptr)
    terminal_->Transmit(samples, count);
  else
    std::fill(samples, samples + count, int16_t{0});
}

void RemoteFax::Receive(int16_t* samples, int count) {
  if (terminal_ == nullptr) return;
  samplesInCall_ += count;
  terminal_->Receive(samples, count);
  if (state_ == State::kClosing) {
    closingSamples_ += count;
    if (closingSamples_ >= kLingerSamples) {
      StopTerminal();
      if (exchange_ != nullptr) exchange_->HangUp(this);
      Finish();
    }
  }
}

FastCarrier RemoteFax::FastTransmission() const {
  return terminal_ != nullptr ? terminal_->FastTransmission() : FastCarrier{};
}

}  // namespace ql::vmodem
