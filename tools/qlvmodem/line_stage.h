#pragma once
// One direction of the simulated telephone line: what happens to 8 kHz audio between
// the two ends. Gain, steady background noise, loud noise (which spoils what the far
// receiver decodes while keeping its carrier), and a dead line (the carrier is lost).

#include <cstdint>
#include <memory>
#include <random>

struct awgn_state_s;

namespace ql::vmodem {

class LineStage {
 public:
  LineStage();
  ~LineStage();
  LineStage(const LineStage&) = delete;
  LineStage& operator=(const LineStage&) = delete;

  void SetAttenuation(double dB);
  // Background noise at the given level; a level of 0 or above switches it off.
  void SetNoise(int dBm0);
  // Loud noise added on top of the signal until switched off.
  void SetInterference(bool on) { interference_ = on; }
  // Nothing passes: the far end hears silence.
  void SetDead(bool dead) { dead_ = dead; }
  bool Dead() const { return dead_; }

  void Apply(int16_t* samples, int count);

 private:
  double gain_ = 1.0;
  awgn_state_s* noise_ = nullptr;
  bool interference_ = false;
  bool dead_ = false;
  std::minstd_rand random_{12345};
};

}  // namespace ql::vmodem
