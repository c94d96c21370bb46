#include "tests/reference/reference_model.h"

#include <cmath>

#include "instrument/sarn2_vst.h"

using sarn2::Engine;
using sarn2::EngineInternals;
using sarn2::Voice;
using sarn2::VoiceState;

namespace reference {

namespace {

int32_t trunc32(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double clip(double c) {
  if (!(c == c)) return 0.0;
  if (c > 1.0) return 1.0;
  if (c < -1.0) return -1.0;
  return c;
}

double filterSample(Engine& s, double x, double cutoffRange, double resonanceScale) {
  const int32_t p = sarn2::clampPreset(s.preset());
  const size_t i = static_cast<size_t>(0x2400 + 32 * p + 15);
  const int32_t b = i < s.roms().romImage.size() ? s.roms().romImage[i] : 0;
  const int32_t cutCode = (b >> 3) & 3;
  const int32_t resCode = (b >> 5) & 3;
  const double k3 = 0.3333333333333333;
  const double h = cutCode * k3;
  int32_t e = 128;
  const sarn2::FilterEnvelope& envelope = s.filterEnvelope();
  int32_t& pos = EngineInternals::filterEnvelopePos(s);
  if (!envelope.empty()) {
    if (pos < envelope.size()) {
      e = envelope[pos];
      pos = pos + 1;
    } else {
      e = envelope[envelope.size() - 1];
    }
  }
  const double c = e * ((1 - h) / 255) + h;
  double f = (c * cutoffRange + (1 - cutoffRange)) + 0.042;
  if (f > 0.99) f = 0.99;
  double q = (resCode * k3) * resonanceScale;
  if (resCode != 0) q = q - 0.01;
  const double fb = q + q / (1 - f);
  sarn2::ResonantFilter& filter = EngineInternals::filter(s);
  filter.state1 = filter.state1 + f * ((x - filter.state1) + fb * (filter.state1 - filter.state2));
  filter.state2 = filter.state2 + f * (filter.state1 - filter.state2);
  return filter.state2;
}

}  // namespace

void renderBlock(Engine& s, float* output, int32_t sampleFrames, double r) {
  s.applyPendingEnvelopeRebuild();
  double& renderRate = EngineInternals::renderRate(s);
  renderRate = r > 0.0 ? r : 44100.0;
  const sarn2::RomTables& roms = s.roms();
  if (roms.romImage.empty() || roms.waveTable.empty()) {
    for (int32_t n = 0; n < sampleFrames; ++n) output[n] = 0.0f;
    return;
  }
  int32_t& waveBankOffset = EngineInternals::waveBankOffset(s);
  waveBankOffset = 0;
  const int32_t p = sarn2::clampPreset(s.preset());
  const size_t i = static_cast<size_t>(9216 + 32 * p + 15);
  if (i < roms.romImage.size()) waveBankOffset = (roms.romImage[i] & 7) * 1024;

  const auto& pitch = roms.pitchTable;
  const auto& wave = roms.waveTable;
  auto& voices = EngineInternals::voices(s);
  auto& phases = EngineInternals::phaseAccumulators(s);
  for (int32_t n = 0; n < sampleFrames; ++n) {
    double sum = 0.0;
    for (int32_t v = 0; v < 8; ++v) {
      Voice& voice = voices[static_cast<size_t>(v)];
      if (voice.state == VoiceState::free) continue;
      double d = 1.0;
      if (voice.state == VoiceState::released) {
        const double rel = s.release();
        const double lowered = voice.level - 1 / (renderRate * (rel * rel * 3.45 + 0.05));
        if (!(lowered > 0.0) || lowered == voice.level) {
          voice.state = VoiceState::free;
          voice.level = 0.0;
          continue;
        }
        voice.level = lowered;
        d = voice.level;
      }
      int64_t k = voice.note - int64_t{24};
      if (k < 0) k = 0;
      int64_t index = 627 + 16 * k;
      if (index >= static_cast<int64_t>(pitch.size())) index = static_cast<int64_t>(pitch.size()) - 2;
      if (index < 0) continue;
      const uint16_t inc = pitch[static_cast<size_t>(index)];
      const float b = static_cast<float>(s.pitchBend() * 2.0 / 12.0);
      const double power = std::pow(2.0, static_cast<double>(b));
      // Beyond the float range the factor is infinite, as IEEE rounding gives.
      const float factor = power >= 0x1.ffffffp+127 ? INFINITY : static_cast<float>(power);
      // The table is calibrated for 44.1 kHz; the ratio keeps other rates in tune.
      const int32_t s1 = trunc32((inc * static_cast<double>(factor)) * (44100.0 / renderRate));
      const int oscillators = s.secondOscillatorOn() ? 2 : 1;
      for (int o = 0; o < oscillators; ++o) {
        const int32_t step = o == 0 ? s1 : trunc32(s1 * 1.008);
        uint32_t& phase = phases[static_cast<size_t>(2 * v + o)];
        const uint32_t a = (phase + static_cast<uint32_t>(step)) & 0xFFFFF;
        phase = a;
        const uint32_t j = a >> 11;
        double x = 0.0;
        const size_t at = static_cast<size_t>(waveBankOffset) + 2 * j;
        if (at + 1 < wave.size()) {
          const double magnitude = ((wave[at + 1] & 3) << 8 | wave[at]) / 512.0;
          x = (wave[at + 1] & 4) != 0 ? magnitude : -magnitude;
        }
        sum = sum + (x * 0.035) * d;
      }
    }
    double c = clip(sum);
    if (s.filterOn()) c = clip(filterSample(s, c * 256.0, 0.99, 0.8) * 0.00390625);
    output[n] = static_cast<float>(c);
  }
}

void renderBlock(sarn2::Sarn2VST& instrument, float* output, int32_t sampleFrames) {
  renderBlock(instrument.engine(), output, sampleFrames, instrument.getSampleRate());
}

std::vector<uint8_t> filterEnvelope(const uint8_t* record) {
  std::vector<uint8_t> levels;
  if (record == nullptr) return {128};
  const double b0 = record[0], b1 = record[1], b2 = record[2], b4 = record[4], b6 = record[6], b8 = record[8];
  double v = b0;
  const double s = b1 != 0 ? b1 * 0.1 : 1.0;
  if (v < b2) {
    while (true) {
      levels.push_back(static_cast<uint8_t>(static_cast<int>(v)));
      v = v + s;
      if (v > 255) {
        v = 255;
        break;
      }
      if (!(v < b2)) break;
    }
  } else {
    levels.push_back(static_cast<uint8_t>(b0));
  }
  const int n = b4 != 0 ? static_cast<int>(b4) * 10 : 100;
  const double d = (v - b6) / n;
  if (d != 0) {
    for (int step = 0; step < n; ++step) {
      v = v - d;
      if ((d > 0 && v < b6) || (d < 0 && v > b6)) v = b6;
      levels.push_back(static_cast<uint8_t>(static_cast<int>(v)));
      if (v == b6) break;
    }
  }
  const int m = b8 != 0 ? static_cast<int>(b8) * 1000 : 22050;
  levels.insert(levels.end(), static_cast<size_t>(m), static_cast<uint8_t>(b6));
  return levels;
}

}  // namespace reference
