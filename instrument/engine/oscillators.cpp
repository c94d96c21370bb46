// Wavetable oscillators and the voice mix.
//
// Every sample comes out exactly as the sample-by-sample definition gives
// it: the voices add into each sample's sum in slot order, oscillator 0
// before oscillator 1, with the same roundings. What is hoisted out of the
// sample loop depends only on values that cannot change inside a block on
// the audio thread (the bend factor, the release slope, the decoded bank).
#include "instrument/engine/oscillators.h"

#include <cmath>
#include <limits>

#include "instrument/engine/numeric.h"

namespace sarn2 {

namespace {

constexpr double kBendRangeSemitones = 2.0;  // a full MIDI bend moves two semitones
constexpr double kSemitonesPerOctave = 12.0;
constexpr double kReleaseScaleSeconds = 3.45;  // release time = release^2 * 3.45 + 0.05 s
constexpr double kReleaseMinimumSeconds = 0.05;
constexpr double kDetune = 1.008;         // oscillator 1 runs 0.8 % sharp
constexpr uint32_t kPhaseMask = 0xFFFFF;  // 20-bit phase
constexpr int kPhaseToSample = 11;        // phase bits 11-19 pick one of 512 samples
constexpr double kMixGain = 0.035;        // per oscillator, before the clip to [-1, 1]
// The ROM pitch table holds phase steps for this rate; other rates scale
// the step so that a note keeps its frequency.
constexpr double kPitchTableRate = 44100.0;

// The bend factor as a float. pow can exceed the float range for a bend no
// MIDI message gives (a restored chunk); such a factor becomes infinite, as
// IEEE rounding would make it, and the oscillator step then saturates.
float bendFactor(double octaves) {
  constexpr double kRoundsToInfinity = 0x1.ffffffp+127;  // FLT_MAX plus half its last unit
  const double factor = std::pow(2.0, octaves);
  return factor >= kRoundsToInfinity ? std::numeric_limits<float>::infinity() : static_cast<float>(factor);
}

}  // namespace

Oscillators::Block Oscillators::prepare(const RomTables& roms, int32_t waveBankOffset, float pitchBend,
                                        double release, double rate, bool twoOscillators) {
  const float octaves = static_cast<float>(pitchBend * kBendRangeSemitones / kSemitonesPerOctave);
  Block block;
  block.bank = scaledBank(roms, waveBankOffset);
  block.factor = bendFactor(octaves);
  // Exactly 1.0 at 44.1 kHz, which leaves every step as the table gives it.
  // An infinite rate gives 0: the voice is silent but still fades and ends.
  block.rateRatio = kPitchTableRate / rate;
  block.fall = 1.0 / (rate * (release * release * kReleaseScaleSeconds + kReleaseMinimumSeconds));
  block.twoOscillators = twoOscillators;
  return block;
}

void Oscillators::mix(VoiceSlots& slots, const RomTables& roms, const Block& block, double* mix,
                      int32_t count) {
  for (int32_t v = 0; v < VoiceSlots::kVoiceCount; ++v)
    mixVoice(slots.voices[static_cast<size_t>(v)], v, roms, block, mix, count);
}

void Oscillators::mixVoice(Voice& voice, int32_t v, const RomTables& roms, const Block& block, double* mix,
                           int32_t count) {
  if (voice.state == VoiceState::free) return;
  const double* bank = block.bank;

  const int32_t pitchIndex = pitchTableIndex(roms, voice.note);
  uint32_t step0 = 0;
  uint32_t step1 = 0;
  if (pitchIndex >= 0) {
    const uint16_t inc = roms.pitchTable[static_cast<size_t>(pitchIndex)];
    const int32_t s1 = truncateToInt32((inc * block.factor) * block.rateRatio);
    // The detune scales the already truncated step.
    step0 = static_cast<uint32_t>(s1);
    step1 = static_cast<uint32_t>(truncateToInt32(s1 * kDetune));
  }
  // Without a pitch entry to play the voice is silent, though it still fades.
  const bool sounds = pitchIndex >= 0;
  const bool two = sounds && block.twoOscillators;
  uint32_t phase0 = phaseAccumulators[static_cast<size_t>(2 * v)];
  uint32_t phase1 = phaseAccumulators[static_cast<size_t>(2 * v + 1)];

  if (voice.state == VoiceState::held) {
    // A held voice plays at level 1.0, and (x * gain) * 1.0 is x * gain.
    if (two) {
      for (int32_t n = 0; n < count; ++n) {
        phase0 = (phase0 + step0) & kPhaseMask;
        phase1 = (phase1 + step1) & kPhaseMask;
        mix[n] = (mix[n] + bank[phase0 >> kPhaseToSample]) + bank[phase1 >> kPhaseToSample];
      }
    } else if (sounds) {
      for (int32_t n = 0; n < count; ++n) {
        phase0 = (phase0 + step0) & kPhaseMask;
        mix[n] = mix[n] + bank[phase0 >> kPhaseToSample];
      }
    }
  } else {
    double level = voice.level;
    const double fall = block.fall;
    for (int32_t n = 0; n < count; ++n) {
      const double lowered = level - fall;
      // A slope too flat to lower the level (an infinite or NaN release
      // time) would keep the voice forever; it ends at once instead.
      if (!(lowered > 0.0) || lowered == level) {
        voice.state = VoiceState::free;
        level = 0.0;
        break;
      }
      level = lowered;
      if (!sounds) continue;
      phase0 = (phase0 + step0) & kPhaseMask;
      mix[n] = mix[n] + bank[phase0 >> kPhaseToSample] * level;
      if (two) {
        phase1 = (phase1 + step1) & kPhaseMask;
        mix[n] = mix[n] + bank[phase1 >> kPhaseToSample] * level;
      }
    }
    voice.level = level;
  }
  phaseAccumulators[static_cast<size_t>(2 * v)] = phase0;
  phaseAccumulators[static_cast<size_t>(2 * v + 1)] = phase1;
}

const double* Oscillators::scaledBank(const RomTables& roms, int32_t bankOffset) {
  if (bankOffset != scaledBankOffset) {
    for (int32_t s = 0; s < kSamplesPerBank; ++s)
      scaledBankSamples[static_cast<size_t>(s)] = waveSample(roms, bankOffset, s) * kMixGain;
    scaledBankOffset = bankOffset;
  }
  return scaledBankSamples.data();
}

}  // namespace sarn2
