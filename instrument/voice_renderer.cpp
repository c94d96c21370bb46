// The audio block loop: released voices fade, each sounding voice steps one
// or two wavetable oscillators, and the clipped mono mix passes through the
// filter to the one output.
#include <cmath>
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

// The bend factor as a float. pow can exceed the float range for a bend no
// MIDI message gives (a restored chunk); such a factor becomes infinite, as
// IEEE rounding would make it, and the oscillator step then saturates.
float bendFactor(double b) {
  constexpr double kRoundsToInfinity = 0x1.ffffffp+127;  // FLT_MAX plus half its last unit
  const double factor = std::pow(2.0, b);
  return factor >= kRoundsToInfinity ? std::numeric_limits<float>::infinity() : static_cast<float>(factor);
}

// Advances one oscillator's 20-bit phase, then reads the sample it points at.
double stepOscillator(uint32_t& phase, int32_t step, const RomTables& roms, int32_t bankOffset) {
  phase = (phase + static_cast<uint32_t>(step)) & kPhaseMask;
  return waveSample(roms, bankOffset, static_cast<int32_t>(phase >> kPhaseToSample));
}

double clip(double c) {
  // A NaN mix would stick in the filter state for good; it is silenced.
  if (!(c == c)) return 0.0;
  if (c > 1.0) return 1.0;
  if (c < -1.0) return -1.0;
  return c;
}

}  // namespace

void Sarn2VST::renderBlock(float** /*inputs*/, float** outputs, int32_t sampleFrames) {
  applyPendingEnvelopeRebuild();

  const float hostRate = getSampleRate();
  renderRate = hostRate > 0.0f ? hostRate : kDefaultRate;

  float* output = outputs != nullptr ? outputs[0] : nullptr;
  if (roms.romImage.empty() || roms.waveTable.empty()) {
    if (output != nullptr) renderSilence(output, sampleFrames);
    return;
  }

  waveBankOffset = (presetControlByte(roms, preset.load(std::memory_order_relaxed)) & 7) * kWaveBankBytes;
  if (output == nullptr) return;

  for (int32_t n = 0; n < sampleFrames; ++n) {
    const double releaseValue = release.load(std::memory_order_relaxed);
    const double fall =
        1.0 / (renderRate * (releaseValue * releaseValue * kReleaseScaleSeconds + kReleaseMinimumSeconds));
    const float b = static_cast<float>(pitchBend.load(std::memory_order_relaxed) * 2.0 / 12.0);
    const float factor = bendFactor(b);
    const bool twoOscillators = secondOscillatorOn.load(std::memory_order_relaxed) != 0;

    double sum = 0.0;
    for (int32_t v = 0; v < kVoiceCount; ++v) {
      Voice& voice = voices[v];
      if (voice.state == VoiceState::free) continue;
      double d = 1.0;
      if (voice.state == VoiceState::released) {
        const double lowered = voice.level - fall;
        // A slope too flat to lower the level (an infinite or NaN release
        // time) would keep the voice forever; it ends at once instead.
        if (!(lowered > 0.0) || lowered == voice.level) {
          voice.state = VoiceState::free;
          voice.level = 0.0;
          continue;
        }
        voice.level = lowered;
        d = lowered;
      }

      const int32_t pitchIndex = pitchTableIndex(roms, voice.note);
      if (pitchIndex < 0) continue;  // no pitch entry to play: the voice is silent
      const uint16_t inc = roms.pitchTable[static_cast<size_t>(pitchIndex)];
      const int32_t s1 = truncateToInt32(inc * static_cast<double>(factor));

      const double x0 =
          stepOscillator(phaseAccumulators[static_cast<size_t>(2 * v)], s1, roms, waveBankOffset);
      sum = sum + (x0 * kMixGain) * d;
      if (twoOscillators) {
        // The detune scales the already truncated step.
        const int32_t s2 = truncateToInt32(s1 * kDetune);
        const double x1 =
            stepOscillator(phaseAccumulators[static_cast<size_t>(2 * v + 1)], s2, roms, waveBankOffset);
        sum = sum + (x1 * kMixGain) * d;
      }
    }

    double c = clip(sum);
    if (filterOn.load(std::memory_order_relaxed)) {
      c = clip(filterSample(c * kFilterInputScale, kCutoffRange, kResonanceScale) * kFilterOutputScale);
    }
    output[n] = static_cast<float>(c);
  }
}

void Sarn2VST::renderSilence(float* output, int32_t sampleFrames) {
  for (int32_t n = 0; n < sampleFrames; ++n) output[n] = 0.0f;
}
