// The block path of the filter, with its skip over settled samples.
#include "instrument/engine/filter_path.h"

#include <algorithm>
#include <bit>

#include "instrument/engine/numeric.h"

namespace sarn2 {

namespace {

uint64_t bitsOf(double value) { return std::bit_cast<uint64_t>(value); }

}  // namespace

void FilterPath::render(const double* mix, float* output, int32_t count, PresetControl control,
                        const FilterEnvelope& envelope, int32_t& filterEnvelopePos) {
  const ResonantFilter::Coefficients* table = coefficientsFor(control);
  // Worked on as a local copy so that the states stay in registers.
  ResonantFilter local = filter;
  int32_t n = 0;

  // While the envelope still moves, every sample takes its own level.
  const bool hasEnvelope = !envelope.empty();
  if (hasEnvelope) {
    const int32_t variable = envelope.variableLength();
    const uint8_t* levels = envelope.variableLevels();
    int32_t pos = filterEnvelopePos;
    for (; n < count && pos < variable; ++n, ++pos) {
      const ResonantFilter::Coefficients& c = table[levels[pos]];
      const double y = local.process(clipToUnit(mix[n]) * kInputScale, c.f, c.fb);
      output[n] = static_cast<float>(clipToUnit(y * kOutputScale));
    }
    // The rest of the envelope, and whatever lies past its end, is one
    // level; the read position stops at the end.
    const int64_t advanced = int64_t{pos} + (count - n);
    filterEnvelopePos = static_cast<int32_t>(std::min<int64_t>(advanced, std::max(pos, envelope.size())));
  }

  const uint8_t level = hasEnvelope ? envelope.holdLevelValue() : FilterEnvelope::kLevelWithoutRecord;
  const ResonantFilter::Coefficients c = table[level];
  // A settled point found earlier holds only if nothing has moved since.
  bool valid = settled.valid && settled.state1 == bitsOf(local.state1) &&
               settled.state2 == bitsOf(local.state2) && settled.f == bitsOf(c.f) &&
               settled.fb == bitsOf(c.fb);
  for (; n < count; ++n) {
    const double x = clipToUnit(mix[n]) * kInputScale;
    const uint64_t inputBits = bitsOf(x);
    // Once an update under this input left both states bit for bit as they
    // were, every further update under it does the same: skip the
    // arithmetic, which in a decaying tail runs on slow subnormal numbers.
    if (valid && inputBits == settled.input) {
      output[n] = settled.output;
      continue;
    }
    ResonantFilter next = local;
    const double y = next.process(x, c.f, c.fb);
    valid = bitsOf(next.state1) == bitsOf(local.state1) && bitsOf(next.state2) == bitsOf(local.state2);
    local = next;
    output[n] = static_cast<float>(clipToUnit(y * kOutputScale));
    if (valid)
      settled = {true,         inputBits, bitsOf(local.state1), bitsOf(local.state2), bitsOf(c.f),
                 bitsOf(c.fb), output[n]};
  }
  settled.valid = valid;
  filter = local;
}

double FilterPath::filterSample(double input, PresetControl control, const FilterEnvelope& envelope,
                                int32_t& filterEnvelopePos, double cutoffRange, double resonanceScale) {
  const int32_t level = envelope.nextLevel(filterEnvelopePos);
  const ResonantFilter::Coefficients c = ResonantFilter::coefficients(
      control.cutoffCode(), control.resonanceCode(), level, cutoffRange, resonanceScale);
  return filter.process(input, c.f, c.fb);
}

const ResonantFilter::Coefficients* FilterPath::coefficientsFor(PresetControl control) {
  const int32_t codes = control.cutoffCode() | control.resonanceCode() << 2;
  if (codes != coefficientCodes) {
    for (int32_t level = 0; level < kLevels; ++level)
      coefficientTable[static_cast<size_t>(level)] = ResonantFilter::coefficients(
          control.cutoffCode(), control.resonanceCode(), level, kCutoffRange, kResonanceScale);
    coefficientCodes = codes;
  }
  return coefficientTable.data();
}

}  // namespace sarn2
