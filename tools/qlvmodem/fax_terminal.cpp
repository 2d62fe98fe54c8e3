#include "tools/qlvmodem/fax_terminal.h"

#include <spandsp.h>

#include <algorithm>

namespace ql::vmodem {

FaxTerminal::FaxTerminal(bool calling, const std::string& ident, bool trace, const char* traceTag)
    : state_(fax_init(nullptr, calling ? 1 : 0)) {
  fax_set_transmit_on_idle(state_, 1);
  t30_state_t* t30 = fax_get_t30_state(state_);
  t30_set_tx_ident(t30, ident.c_str());
  t30_set_real_time_frame_handler(t30, &FaxTerminal::OnFrame, this);
  SendPagesAgainAfterRtn(t30);
  if (trace) {
    // spandsp writes its protocol trace to standard error.
    span_log_set_level(t30_get_logging_state(t30),
                       static_cast<int>(SPAN_LOG_FLOW) | static_cast<int>(SPAN_LOG_SHOW_TAG));
    span_log_set_tag(t30_get_logging_state(t30), traceTag);
  }
}

FaxTerminal::~FaxTerminal() { fax_free(state_); }

t30_state_s* FaxTerminal::T30() const { return fax_get_t30_state(state_); }

void FaxTerminal::SetFrameHandler(FrameHandler handler, void* user) {
  frameHandler_ = handler;
  frameUser_ = user;
}

// Runs before the terminal acts on a received frame.
void FaxTerminal::OnFrame(t30_state_s* t30, void* self, int incoming, const uint8_t* frame, int length) {
  auto* terminal = static_cast<FaxTerminal*>(self);
  if (incoming != 0) AcceptRetrainAfterRtn(t30, frame, length);
  if (terminal->frameHandler_ != nullptr) terminal->frameHandler_(t30, terminal->frameUser_, incoming, frame, length);
}

void FaxTerminal::Transmit(int16_t* samples, int count) {
  int made = fax_tx(state_, samples, count);
  std::fill(samples + std::max(made, 0), samples + count, int16_t{0});
}

void FaxTerminal::Receive(const int16_t* samples, int count) {
  // fax_rx changes its input in place (DC removal); the line's block is not its to change.
  scratch_.assign(samples, samples + count);
  fax_rx(state_, scratch_.data(), count);
}

}  // namespace ql::vmodem
