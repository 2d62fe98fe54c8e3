#pragma once
// spandsp's T.30 fax terminal as one object: made when a call connects, fed one block
// of line audio each tick, freed when the call ends.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qlvmodem/spandsp_access.h"

struct fax_state_s;
struct t30_state_s;

namespace ql::vmodem {

class FaxTerminal {
 public:
  // Starts T.30 phase A at once: calling sends CNG, answering sends CED and DIS.
  FaxTerminal(bool calling, const std::string& ident, bool trace = false, const char* traceTag = "");
  ~FaxTerminal();
  FaxTerminal(const FaxTerminal&) = delete;
  FaxTerminal& operator=(const FaxTerminal&) = delete;

  t30_state_s* T30() const;
  // Fills the whole block (silence after the signal).
  void Transmit(int16_t* samples, int count);
  // T.30's timers advance only here. The block is left as it was.
  void Receive(const int16_t* samples, int count);
  FastCarrier FastTransmission() const { return ql::vmodem::FastTransmission(state_); }

 private:
  fax_state_s* state_;
  std::vector<int16_t> scratch_;
};

}  // namespace ql::vmodem
