#pragma once
// spandsp's T.30 fax terminal as one object: made when a call connects, fed one block
// of line audio each tick, freed when the call ends. It watches every frame it receives
// so that, as a receiver, it accepts a page sent again after it answered RTN.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qlvmodem/spandsp_access.h"

struct fax_state_s;
struct t30_state_s;

namespace ql::vmodem {

class FaxTerminal {
 public:
  // Sees every frame the terminal sends (incoming 0) or receives (incoming non-zero).
  using FrameHandler = void (*)(t30_state_s* t30, void* user, int incoming, const uint8_t* frame, int length);

  // Starts T.30 phase A at once: calling sends CNG, answering sends CED and DIS.
  FaxTerminal(bool calling, const std::string& ident, bool trace = false, const char* traceTag = "");
  ~FaxTerminal();
  FaxTerminal(const FaxTerminal&) = delete;
  FaxTerminal& operator=(const FaxTerminal&) = delete;

  // The T.30 state for files, identities and phase handlers. Frame watchers go through
  // SetFrameHandler: the terminal keeps the library's frame hook for itself.
  t30_state_s* T30() const;
  void SetFrameHandler(FrameHandler handler, void* user);
  // Fills the whole block (silence after the signal).
  void Transmit(int16_t* samples, int count);
  // T.30's timers advance only here. The block is left as it was.
  void Receive(const int16_t* samples, int count);
  FastCarrier FastTransmission() const { return ql::vmodem::FastTransmission(state_); }

 private:
  static void OnFrame(t30_state_s* t30, void* self, int incoming, const uint8_t* frame, int length);

  fax_state_s* state_;
  FrameHandler frameHandler_ = nullptr;
  void* frameUser_ = nullptr;
  std::vector<int16_t> scratch_;
};

}  // namespace ql::vmodem
