#include "tools/qlvmodem/class1_link.h"

#include <spandsp.h>

#include <algorithm>

#include "serial/dle/dle_codec.h"

namespace ql::vmodem {

namespace {
constexpr size_t kChunk = 256;  // larger pieces overrun the modem's buffer silently
constexpr size_t kFcsBytes = 2;  // received frames carry their check sequence
}  // namespace

Class1Link::Class1Link() {
  modem_ = t31_init(nullptr, &Class1Link::OnOutput, this, &Class1Link::OnControl, this, nullptr, nullptr);
  t31_set_transmit_on_idle(modem_, 1);
  ToModem("ATE0V1+FCLASS=1\r");
  events_.clear();
}

Class1Link::~Class1Link() { ReleaseModem(modem_); }

int Class1Link::OnControl(t31_state_s*, void*, int, const char*) {
  // The call itself belongs to the virtual modem around this layer: dialling and
  // answering are accepted as they are, hang-ups need nothing here.
  return 0;
}

void Class1Link::Connected(bool asCaller) {
  if (asCaller) {
    ToModem("ATD0\r");
    receiving_ = true;
    frameMode_ = true;
    t31_call_event(modem_, AT_CALL_EVENT_CONNECTED);
  } else {
    ToModem("ATA\r");
    receiving_ = false;
    t31_call_event(modem_, AT_CALL_EVENT_ANSWERED);
  }
}

void Class1Link::Command(const std::string& command) {
  receiving_ = command.rfind("AT+FRH", 0) == 0 || command.rfind("AT+FRM", 0) == 0;
  frameMode_ = command.rfind("AT+FRH", 0) == 0;
  if (!receiving_ && (command.rfind("AT+FTH", 0) == 0 || command.rfind("AT+FTM", 0) == 0)) {
    // A transmission starts after a short silence (T.30 asks for 75 ms), so the far
    // machine has switched its receiver over when the signal begins.
    afterPause_ = command;
    ToModem("AT+FTS=8\r");
    return;
  }
  ToModem(command + "\r");
}

void Class1Link::SendFrame(const std::string& frame) { ToModem(ql::dle::Stuffed(frame, true)); }

void Class1Link::SendData(const std::string& bytes) {
  ql::dle::AppendStuffed(outgoing_, bytes);
  Feed();
}

void Class1Link::EndData() {
  endPending_ = true;
  Feed();
}

void Class1Link::Abort() {
  receiving_ = false;
  inData_ = false;
  afterPause_.clear();
  pauseOver_ = false;
  ToModem("\r");
  events_.clear();  // the modem's OK for the abort, and anything half received
}

// Data goes in pieces that fit the modem's transmit buffer, never splitting a DLE pair.
void Class1Link::Feed() {
  while (ModemDteMode(modem_) == DteMode::kStuffed) {
    if (outgoing_.empty()) {
      if (endPending_) {
        endPending_ = false;
        ToModem(ql::dle::EndPair());
      }
      return;
    }
    const size_t room = static_cast<size_t>(std::max(0, TransmitBufferRoom(modem_)));
    const size_t n = ql::dle::WholePairPrefix(outgoing_, std::min(room, kChunk));
    if (n == 0) return;
    ToModem(outgoing_.substr(0, n));
    outgoing_.erase(0, n);
  }
}

void Class1Link::ToModem(const std::string& bytes) {
  t31_at_rx(modem_, bytes.data(), static_cast<int>(bytes.size()));
  IssueAfterPause();
}

// The silence before a transmission has passed (its OK arrived): the command follows.
void Class1Link::IssueAfterPause() {
  if (!pauseOver_) return;
  pauseOver_ = false;
  std::string command;
  command.swap(afterPause_);
  ToModem(command + "\r");
}

void Class1Link::Transmit(int16_t* samples, int count) {
  int made = t31_tx(modem_, samples, count);
  std::fill(samples + std::max(made, 0), samples + count, int16_t{0});
  IssueAfterPause();
}

void Class1Link::Receive(int16_t* samples, int count) {
  t31_rx(modem_, samples, count);
  now_ += count;
  IssueAfterPause();
  Feed();
}

Class1Link::Event Class1Link::NextEvent() {
  Event event = std::move(events_.front());
  events_.pop_front();
  return event;
}

FastCarrier Class1Link::FastTransmission() const { return ql::vmodem::FastTransmission(modem_); }

int Class1Link::OnOutput(at_state_s*, void* self, const uint8_t* bytes, size_t length) {
  static_cast<Class1Link*>(self)->Parse(bytes, length);
  return 0;
}

void Class1Link::Parse(const uint8_t* bytes, size_t length) {
  std::string_view rest(reinterpret_cast<const char*>(bytes), length);
  while (!rest.empty()) {
    if (inData_) {
      if (skipLf_) {
        skipLf_ = false;
        if (rest.front() == '\n') {  // the end of "CONNECT" CR LF, not data
          rest.remove_prefix(1);
          continue;
        }
      }
      const auto taken = unstuffer_.Take(rest, data_);
      rest.remove_prefix(taken.consumed);
      if (taken.stop == ql::dle::Unstuffer::Stop::kEnd) {
        inData_ = false;
        if (frameMode_) {
          if (data_.size() >= kFcsBytes) data_.resize(data_.size() - kFcsBytes);
          events_.push_back({Event::Kind::kFrame, data_});
        } else {
          if (!data_.empty()) events_.push_back({Event::Kind::kData, data_});
          events_.push_back({Event::Kind::kDataEnd, {}});
        }
        data_.clear();
      }
      continue;  // other pairs carry nothing here
    }
    const char c = rest.front();
    rest.remove_prefix(1);
    if (c != '\r' && c != '\n') {
      line_ += c;
      continue;
    }
    if (line_.empty()) continue;
    if (line_ == "OK" && !afterPause_.empty() && !pauseOver_) {
      pauseOver_ = true;  // the pause's own OK: the program above never asked for it
      line_.clear();
      continue;
    }
    if (line_ == "ERROR" && !events_.empty() && events_.back().kind == Event::Kind::kFrame)
      events_.back().good = false;  // the frame's check sequence was wrong
    events_.push_back({Event::Kind::kLine, line_});
    if (line_ == "CONNECT" && receiving_) {
      inData_ = true;
      skipLf_ = true;
      unstuffer_.Reset();
      data_.clear();
    }
    line_.clear();
  }
  // Page data is handed on as it comes, not only when the page ends.
  if (inData_ && !frameMode_ && !data_.empty()) {
    events_.push_back({Event::Kind::kData, data_});
    data_.clear();
  }
}

}  // namespace ql::vmodem
