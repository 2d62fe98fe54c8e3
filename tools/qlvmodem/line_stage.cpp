#include "tools/qlvmodem/line_stage.h"

#include <spandsp.h>

#include <algorithm>
#include <cmath>

namespace ql::vmodem {

namespace {
int16_t Saturate(double value) { return static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0)); }
}  // namespace

LineStage::LineStage() = default;

LineStage::~LineStage() {
  if (noise_ != nullptr) awgn_free(noise_);
}

void LineStage::SetAttenuation(double dB) { gain_ = std::pow(10.0, -dB / 20.0); }

void LineStage::SetNoise(int dBm0) {
  if (noise_ != nullptr) {
    awgn_free(noise_);
    noise_ = nullptr;
  }
  if (dBm0 < 0) noise_ = awgn_init_dbm0(nullptr, 1234567, static_cast<float>(dBm0));
}

void LineStage::Apply(int16_t* samples, int count) {
  if (dead_) {
    std::fill(samples, samples + count, int16_t{0});
    return;
  }
  std::uniform_int_distribution<int> loud(-4000, 4000);
  for (int i = 0; i < count; ++i) {
    double value = samples[i] * gain_;
    if (noise_ != nullptr) value += awgn(noise_);
    if (interference_) value += loud(random_);
    samples[i] = Saturate(value);
  }
}

}  // namespace ql::vmodem
