// Writing out the cutoff envelope from a preset record's six envelope bytes.
#include "instrument/filter_envelope.h"

namespace {

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
  const uint8_t rampStart = record[0];
  const uint8_t rampRate = record[1];
  const uint8_t rampEnd = record[2];
  const uint8_t glideTime = record[4];
  const uint8_t target = record[6];
  const uint8_t holdTime = record[8];

  // Ramp: upward only, by repeated addition rather than start + i * step,
  // so rounding accumulates and stored presets keep their exact sweeps.
  double v = rampStart;
  const double step = rampRate != 0 ? rampRate * 0.1 : 1.0;
  if (v < rampEnd) {
    do {
      append(levelByte(v));
      v = v + step;
      if (v > 255.0) {
        v = 255.0;
        break;
      }
    } while (v < rampEnd);
  } else {
    append(rampStart);
  }

  // Glide: a fixed number of equal steps toward the hold level; it stops
  // early only when it meets the target exactly.
  const int32_t glideSteps = glideTime != 0 ? glideTime * 10 : 100;
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
  length = storedLength + (holdTime != 0 ? holdTime * 1000 : 22050);
}
