// Coefficients of the resonant low-pass from the preset's codes and the envelope level.
#include "instrument/engine/resonant_filter.h"

namespace sarn2 {

namespace {

// The double nearest 1/3, used as a multiplier (never a division by 3):
// the codes 0..3 step the cutoff floor and the resonance in thirds.
constexpr double kThird = 0.3333333333333333;
constexpr double kMaxEnvelopeLevel = 255.0;
constexpr double kCutoffOffset = 0.042;  // lifts the lowest cutoff off zero
constexpr double kMaxCutoff = 0.99;      // keeps the stages stable
constexpr double kResonanceTrim = 0.01;  // taken off every non-zero resonance

}  // namespace

double ResonantFilter::cutoffCoefficient(int32_t cutCode, int32_t envelopeLevel, double cutoffRange) {
  const double floor = cutCode * kThird;
  const double c = envelopeLevel * ((1.0 - floor) / kMaxEnvelopeLevel) + floor;
  double f = (c * cutoffRange + (1.0 - cutoffRange)) + kCutoffOffset;
  if (f > kMaxCutoff) f = kMaxCutoff;
  return f;
}

double ResonantFilter::feedback(int32_t resCode, double f, double resonanceScale) {
  double q = (resCode * kThird) * resonanceScale;
  // The trim applies only where there is resonance: code 0 stays exactly 0.
  if (resCode != 0) q = q - kResonanceTrim;
  return q + q / (1.0 - f);
}

}  // namespace sarn2
