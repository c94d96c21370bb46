// The filter in the output path: one sample through the resonant low-pass
// at the cutoff the preset and the envelope give, and envelope rebuilds.
#include "instrument/sarn2_vst.h"

double Sarn2VST::filterSample(double input, double cutoffRange, double resonanceScale) {
  const uint8_t control = presetControlByte(roms, preset.load(std::memory_order_relaxed));
  const int32_t cutCode = (control >> 3) & 3;
  const int32_t resCode = (control >> 5) & 3;

  // An exhausted envelope holds its last level; an empty one reads 128.
  int32_t level = FilterEnvelope::kLevelWithoutRecord;
  if (!filterEnvelope.empty()) {
    if (filterEnvelopePos < filterEnvelope.size()) {
      level = filterEnvelope[filterEnvelopePos++];
    } else {
      level = filterEnvelope.back();
    }
  }
  const ResonantFilter::Coefficients c =
      ResonantFilter::coefficients(cutCode, resCode, level, cutoffRange, resonanceScale);
  return filter.process(input, c.f, c.fb);
}

void Sarn2VST::rebuildFilterEnvelope() { rebuildFilterEnvelopeFor(preset.load(std::memory_order_relaxed)); }

void Sarn2VST::rebuildFilterEnvelopeFor(int32_t presetNumber) {
  filterEnvelope.rebuild(wholePresetRecord(roms, presetNumber));
}

void Sarn2VST::applyPendingEnvelopeRebuild() {
  const int32_t pending = pendingEnvelopePreset.exchange(kNoRebuildPending, std::memory_order_acquire);
  if (pending != kNoRebuildPending) rebuildFilterEnvelopeFor(pending);
}
