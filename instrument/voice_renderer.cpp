// The audio block loop: released voices fade, each sounding voice steps one
// or two wavetable oscillators, and the clipped mono mix passes through the
// filter to the one output.
//
// Every sample comes out exactly as the sample-by-sample definition gives
// it: the voices add into each sample's sum in slot order, oscillator 0
// before oscillator 1, with the same roundings. What is hoisted out of the
// sample loop depends only on values that cannot change inside a block on
// the audio thread (the pitch bend factor, the release slope, the decoded
// wave bank, the filter coefficients per envelope level).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "frame/numeric.h"
#include "instrument/sarn2_vst.h"

namespace {

constexpr double kDefaultRate = 44100.0;
constexpr double kReleaseScaleSeconds = 3.45;  // release time = release^2 * 3.45 + 0.05 s
constexpr double kReleaseMinimumSeconds = 0.05;
constexpr double kDetune = 1.008;
constexpr uint32_t kPhaseMask = 0xFFFFF;  // 20-bit phase
constexpr int kPhaseToSample = 11;        // phase bits 11-19 pick one of 512 samples
constexpr double kMixGain = 0.035;
constexpr double kFilterInputScale = 256.0;
constexpr double kCutoffRange = 0.99;
constexpr double kResonanceScale = 0.8;
constexpr double kFilterOutputScale = 0.00390625;  // 1/256

double clip(double c) {
  // A NaN mix would stick in the filter state for good; it is silenced.
  if (!(c == c)) return 0.0;
  if (c > 1.0) return 1.0;
  if (c < -1.0) return -1.0;
  return c;
}

// The bend factor as a float. pow can exceed the float range for a bend no
// MIDI message gives (a restored chunk); such a factor becomes infinite, as
// IEEE rounding would make it, and the oscillator step then saturates.
float bendFactor(double b) {
  constexpr double kRoundsToInfinity = 0x1.ffffffp+127;  // FLT_MAX plus half its last unit
  const double factor = std::pow(2.0, b);
  return factor >= kRoundsToInfinity ? std::numeric_limits<float>::infinity() : static_cast<float>(factor);
}

uint64_t bitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

}  // namespace

struct Sarn2VST::BlockSettings {
  const double* bank;  // scaled samples of the current wave bank
  double factor;       // pitch bend factor, as a double from its float
  double fall;         // level lost per released sample
  bool twoOscillators;
};

void Sarn2VST::renderBlock(float** /*inputs*/, float** outputs, int32_t sampleFrames) {
  applyPendingEnvelopeRebuild();

  const float hostRate = getSampleRate();
  renderRate = hostRate > 0.0f ? hostRate : kDefaultRate;

  float* output = outputs != nullptr ? outputs[0] : nullptr;
  if (roms.romImage.empty() || roms.waveTable.empty()) {
    if (output != nullptr) renderSilence(output, sampleFrames);
    return;
  }

  const uint8_t control = presetControlByte(roms, preset.load(std::memory_order_relaxed));
  waveBankOffset = (control & 7) * kWaveBankBytes;
  if (output == nullptr || sampleFrames <= 0) return;

  const double releaseValue = release.load(std::memory_order_relaxed);
  const float b = static_cast<float>(pitchBend.load(std::memory_order_relaxed) * 2.0 / 12.0);
  BlockSettings settings;
  settings.bank = scaledBank(waveBankOffset);
  settings.factor = bendFactor(b);
  settings.fall =
      1.0 / (renderRate * (releaseValue * releaseValue * kReleaseScaleSeconds + kReleaseMinimumSeconds));
  settings.twoOscillators = secondOscillatorOn.load(std::memory_order_relaxed) != 0;
  const bool filtered = filterOn.load(std::memory_order_relaxed);

  for (int32_t start = 0; start < sampleFrames; start += kRenderChunk) {
    const int32_t count = std::min(kRenderChunk, sampleFrames - start);
    std::fill_n(mixBuffer.begin(), count, 0.0);
    for (int32_t v = 0; v < kVoiceCount; ++v) mixVoice(voices[static_cast<size_t>(v)], v, settings, count);
    if (filtered)
      writeFiltered(output + start, count, control);
    else
      writeUnfiltered(output + start, count);
  }
}

void Sarn2VST::mixVoice(Voice& voice, int32_t v, const BlockSettings& settings, int32_t count) {
  if (voice.state == VoiceState::free) return;
  double* mix = mixBuffer.data();
  const double* bank = settings.bank;

  const int32_t pitchIndex = pitchTableIndex(roms, voice.note);
  uint32_t step0 = 0;
  uint32_t step1 = 0;
  if (pitchIndex >= 0) {
    const uint16_t inc = roms.pitchTable[static_cast<size_t>(pitchIndex)];
    const int32_t s1 = truncateToInt32(inc * settings.factor);
    // The detune scales the already truncated step.
    step0 = static_cast<uint32_t>(s1);
    step1 = static_cast<uint32_t>(truncateToInt32(s1 * kDetune));
  }
  // Without a pitch entry to play the voice is silent, though it still fades.
  const bool sounds = pitchIndex >= 0;
  const bool two = sounds && settings.twoOscillators;
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
    const double fall = settings.fall;
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

void Sarn2VST::writeUnfiltered(float* output, int32_t count) {
  for (int32_t n = 0; n < count; ++n) output[n] = static_cast<float>(clip(mixBuffer[static_cast<size_t>(n)]));
}

void Sarn2VST::writeFiltered(float* output, int32_t count, uint8_t control) {
  const ResonantFilter::Coefficients* table = coefficientsFor(control);
  const double* mix = mixBuffer.data();
  // Worked on as a local copy so that the states stay in registers.
  ResonantFilter local = filter;
  int32_t n = 0;

  // While the envelope still moves, every sample takes its own level.
  const bool hasEnvelope = !filterEnvelope.empty();
  if (hasEnvelope) {
    const int32_t variable = filterEnvelope.variableLength();
    const uint8_t* levels = filterEnvelope.variableLevels();
    int32_t pos = filterEnvelopePos;
    for (; n < count && pos < variable; ++n, ++pos) {
      const ResonantFilter::Coefficients& c = table[levels[pos]];
      const double y = local.process(clip(mix[n]) * kFilterInputScale, c.f, c.fb);
      output[n] = static_cast<float>(clip(y * kFilterOutputScale));
    }
    // The rest of the envelope, and whatever lies past its end, is one
    // level; the read position stops at the end.
    const int64_t advanced = int64_t{pos} + (count - n);
    filterEnvelopePos =
        static_cast<int32_t>(std::min<int64_t>(advanced, std::max(pos, filterEnvelope.size())));
  }

  const uint8_t level = hasEnvelope ? filterEnvelope.holdLevelValue() : FilterEnvelope::kLevelWithoutRecord;
  const ResonantFilter::Coefficients c = table[level];
  // A settled point found earlier holds only if nothing has moved since.
  bool valid = settled.valid && settled.state1 == bitsOf(local.state1) &&
               settled.state2 == bitsOf(local.state2) && settled.f == bitsOf(c.f) &&
               settled.fb == bitsOf(c.fb);
  for (; n < count; ++n) {
    const double x = clip(mix[n]) * kFilterInputScale;
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
    output[n] = static_cast<float>(clip(y * kFilterOutputScale));
    if (valid)
      settled = {true,         inputBits, bitsOf(local.state1), bitsOf(local.state2), bitsOf(c.f),
                 bitsOf(c.fb), output[n]};
  }
  settled.valid = valid;
  filter = local;
}

const double* Sarn2VST::scaledBank(int32_t bankOffset) {
  if (bankOffset != scaledBankOffset) {
    for (int32_t s = 0; s < 512; ++s)
      scaledBankSamples[static_cast<size_t>(s)] = waveSample(roms, bankOffset, s) * kMixGain;
    scaledBankOffset = bankOffset;
  }
  return scaledBankSamples.data();
}

const ResonantFilter::Coefficients* Sarn2VST::coefficientsFor(uint8_t control) {
  const int32_t codes = (control >> 3) & 0x0F;
  if (codes != coefficientCodes) {
    for (int32_t level = 0; level < 256; ++level)
      coefficientTable[static_cast<size_t>(level)] =
          ResonantFilter::coefficients(codes & 3, codes >> 2, level, kCutoffRange, kResonanceScale);
    coefficientCodes = codes;
  }
  return coefficientTable.data();
}

void Sarn2VST::renderSilence(float* output, int32_t sampleFrames) {
  for (int32_t n = 0; n < sampleFrames; ++n) output[n] = 0.0f;
}
