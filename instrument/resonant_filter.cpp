// Coefficients of the resonant low-pass from the preset's codes and the envelope level.
#include "instrument/resonant_filter.h"

double ResonantFilter::cutoffCoefficient(int32_t cutCode, int32_t envelopeLevel, double cutoffRange) {
  const double floor = cutCode * k3;
  const double c = envelopeLevel * ((1.0 - floor) / 255.0) + floor;
  double f = (c * cutoffRange + (1.0 - cutoffRange)) + 0.042;
  if (f > 0.99) f = 0.99;
  return f;
}

double ResonantFilter::feedback(int32_t resCode, double f, double resonanceScale) {
  double q = (resCode * k3) * resonanceScale;
  // The trim applies only where there is resonance: code 0 stays exactly 0.
  if (resCode != 0) q = q - 0.01;
  return q + q / (1.0 - f);
}
