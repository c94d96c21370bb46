// The two-stage resonant low-pass in the output path.
#pragma once

#include <cstdint>

struct ResonantFilter {
  double state1 = 0.0;  // output of the first stage
  double state2 = 0.0;  // output of the second stage, the filter's output

  // The double nearest 1/3, used as a multiplier (never a division by 3).
  static constexpr double k3 = 0.3333333333333333;

  // Cutoff coefficient for a preset's cutoff code (0..3) and an envelope
  // level (0..255); capped at 0.99 so that 1 - f never falls below 0.01.
  static double cutoffCoefficient(int32_t cutCode, int32_t envelopeLevel, double cutoffRange);

  // Feedback for a resonance code (0..3) at cutoff coefficient f.
  static double feedback(int32_t resCode, double f, double resonanceScale);

  struct Coefficients {
    double f;
    double fb;
  };
  static Coefficients coefficients(int32_t cutCode, int32_t resCode, int32_t envelopeLevel,
                                   double cutoffRange, double resonanceScale) {
    const double f = cutoffCoefficient(cutCode, envelopeLevel, cutoffRange);
    return {f, feedback(resCode, f, resonanceScale)};
  }

  // One sample through both stages; returns the second stage.
  double process(double x, double f, double fb) {
    state1 = state1 + f * ((x - state1) + fb * (state1 - state2));
    state2 = state2 + f * (state1 - state2);
    return state2;
  }
};
