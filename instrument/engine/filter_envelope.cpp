// Writing out the cutoff envelope from a preset record's six envelope bytes.
#include "instrument/engine/filter_envelope.h"

#include "instrument/engine/preset_record.h"

namespace sarn2 {

namespace {

constexpr double kRampStepPerUnit = 0.1;   // levels per sample per unit of the ramp rate byte
constexpr double kRampStepWhenZero = 1.0;  // levels per sample
constexpr double kMaxLevel = 255.0;
constexpr int32_t kGlideSamplesPerUnit = 10;
constexpr int32_t kGlideSamplesWhenZero = 100;
constexpr int32_t kHoldSamplesPerUnit = 1000;
constexpr int32_t kHoldSamplesWhenZero = 22050;  // half a second at 44.1 kHz

// Levels become bytes by truncation: the integer part, never rounded.
uint8_t levelByte(double v) { return static_cast<uint8_t>(static_cast<int32_t>(v)); }

}  // namespace

void FilterEnvelope::rebuild(const uint8_t* record) {
  storedLength = 0;
  if (record == nullptr) {
    append(kLevelWithoutRecord);
    holdLevel = kLevelWithoutRecord;
    length = 1;
    return;
  }
  const EnvelopeBytes bytes = EnvelopeBytes::decode(record);

  // Ramp: upward only, by repeated addition rather than start + i * step,
  // so rounding accumulates and stored presets keep their exact sweeps.
  double v = bytes.rampStart;
  const double step = bytes.rampRate != 0 ? bytes.rampRate * kRampStepPerUnit : kRampStepWhenZero;
  if (v < bytes.rampEnd) {
    do {
      append(levelByte(v));
      v = v + step;
      if (v > kMaxLevel) {
        v = kMaxLevel;
        break;
      }
    } while (v < bytes.rampEnd);
  } else {
    append(bytes.rampStart);
  }

  // Glide: a fixed number of equal steps toward the hold level; it stops
  // early only when it meets the target exactly.
  const uint8_t target = bytes.holdLevel;
  const int32_t glideSteps =
      bytes.glideTime != 0 ? bytes.glideTime * kGlideSamplesPerUnit : kGlideSamplesWhenZero;
  const double d = (v - target) / glideSteps;
  if (d != 0.0) {
    for (int32_t i = 0; i < glideSteps; ++i) {
      v = v - d;
      if ((d > 0.0 && v < target) || (d < 0.0 && v > target)) v = target;
      append(levelByte(v));
      if (v == target) break;
    }
  }

  holdLevel = target;
  length = storedLength + (bytes.holdTime != 0 ? bytes.holdTime * kHoldSamplesPerUnit : kHoldSamplesWhenZero);
}

}  // namespace sarn2
