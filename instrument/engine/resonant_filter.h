// The two-stage resonant low-pass in the output path: its coefficients from
// a preset's codes and an envelope level, and its per-sample update.
#pragma once

#include <cstdint>

namespace sarn2 {

struct ResonantFilter {
  double state1{0.0};  // output of the first stage
  double state2{0.0};  // output of the second stage, the filter's output

  struct Coefficients {
    double f;   // cutoff coefficient, below 1
    double fb;  // feedback of the second stage into the first
  };

  // Cutoff coefficient for a preset's cutoff code (0..3) and an envelope
  // level (0..255); capped so that 1 - f never falls below 0.01.
  static double cutoffCoefficient(int32_t cutCode, int32_t envelopeLevel, double cutoffRange);

  // Feedback for a resonance code (0..3) at cutoff coefficient f.
  static double feedback(int32_t resCode, double f, double resonanceScale);

  static Coefficients coefficients(int32_t cutCode, int32_t resCode, int32_t envelopeLevel,
                                   double cutoffRange, double resonanceScale) {
    const double f = cutoffCoefficient(cutCode, envelopeLevel, cutoffRange);
    return {f, feedback(resCode, f, resonanceScale)};
  }

  // One sample through both stages; returns the second stage. The only
  // place the filter's arithmetic is written.
  double process(double x, double f, double fb) {
    state1 = state1 + f * ((x - state1) + fb * (state1 - state2));
    state2 = state2 + f * (state1 - state2);
    return state2;
  }
};

}  // namespace sarn2
