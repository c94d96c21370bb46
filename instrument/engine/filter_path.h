// The filtered output path: the clipped mix through the resonant low-pass
// at the cutoff the preset's codes and the envelope give, a block at a time.
#pragma once

#include <array>
#include <cstdint>

#include "instrument/engine/filter_envelope.h"
#include "instrument/engine/preset_record.h"
#include "instrument/engine/resonant_filter.h"

namespace sarn2 {

class FilterPath {
 public:
  // The mix enters the filter scaled up by 256 and leaves scaled back down.
  static constexpr double kInputScale = 256.0;
  static constexpr double kOutputScale = 0.00390625;  // 1/256
  static constexpr double kCutoffRange = 0.99;        // of the coefficient the envelope sweeps
  static constexpr double kResonanceScale = 0.8;

  // Filters count mix samples into output, reading one envelope level per
  // sample from filterEnvelopePos, which moves on (up to the envelope's end).
  void render(const double* mix, float* output, int32_t count, PresetControl control,
              const FilterEnvelope& envelope, int32_t& filterEnvelopePos);

  // One sample through the filter at the next envelope level, with the
  // given cutoff range and resonance scale; the block path's update, one
  // sample at a time.
  double filterSample(double input, PresetControl control, const FilterEnvelope& envelope,
                      int32_t& filterEnvelopePos, double cutoffRange, double resonanceScale);

  ResonantFilter filter{};

 private:
  const ResonantFilter::Coefficients* coefficientsFor(PresetControl control);

  // Cutoff and feedback for every envelope level, for the cutoff and
  // resonance codes they were made for.
  static constexpr int32_t kLevels = 256;
  std::array<ResonantFilter::Coefficients, kLevels> coefficientTable{};
  int32_t coefficientCodes{-1};

  // The filter's state stops changing once a constant input has settled it
  // (a decay reaching its last value). The settled point, as bit patterns,
  // lets the following samples skip the arithmetic; it holds only for the
  // same input, states and coefficients.
  struct SettledFilter {
    bool valid{false};
    uint64_t input{0}, state1{0}, state2{0}, f{0}, fb{0};
    float output{0.0f};
  };
  SettledFilter settled{};
};

}  // namespace sarn2
