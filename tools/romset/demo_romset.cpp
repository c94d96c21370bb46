// The demo ROM set: eight additive waveforms, an equal-tempered pitch table
// and 32 presets. Golden renders are built on these bytes; they must not
// change. Everything is computed with portable_math, never the C library's
// sin or pow, so that every platform writes the same bytes.
#include <cmath>
#include <cstdlib>

#include "tools/romset/portable_math.h"
#include "tools/romset/romset.h"

namespace romset {

namespace {

// Loud enough to use most of the 10 magnitude bits, yet eight voices with
// both oscillators at a common peak (16 x 1.75 x 0.035 = 0.98) stay below
// the mix clip.
constexpr double kPeak = 1.75;

// Playback is drop-sample, so harmonics are kept to a few dozen and tapered
// with Lanczos sigma factors: bright waves without Gibbs ringing, and
// aliasing only in the top octaves.
struct Partial {
  int harmonic;
  double amplitude;
  bool cosine;
};

double sigma(int harmonic, int limit) {
  // sin(pi h / (limit + 1)) / (pi h / (limit + 1))
  const double x = 3.141592653589793 * harmonic / (limit + 1);
  return sinTurns(harmonic, 2 * (limit + 1)) / x;
}

std::vector<double> additive(const std::vector<Partial>& partials) {
  std::vector<double> wave(kSamplesPerBank, 0.0);
  for (int k = 0; k < kSamplesPerBank; ++k) {
    double sum = 0.0;
    for (const Partial& p : partials) {
      const int64_t turns = int64_t{p.harmonic} * k + (p.cosine ? kSamplesPerBank / 4 : 0);
      sum += p.amplitude * sinTurns(turns, kSamplesPerBank);
    }
    wave[static_cast<size_t>(k)] = sum;
  }
  double peak = 0.0;
  for (double v : wave) peak = std::fabs(v) > peak ? std::fabs(v) : peak;
  const double scale = kPeak / peak;
  for (double& v : wave) v *= scale;
  return wave;
}

std::vector<Partial> sine() { return {{1, 1.0, false}}; }

std::vector<Partial> saw(int limit) {
  std::vector<Partial> partials;
  for (int h = 1; h <= limit; ++h)
    partials.push_back({h, (h % 2 == 1 ? 1.0 : -1.0) / h * sigma(h, limit), false});
  return partials;
}

std::vector<Partial> square(int limit) {
  std::vector<Partial> partials;
  for (int h = 1; h <= limit; h += 2) partials.push_back({h, 1.0 / h * sigma(h, limit), false});
  return partials;
}

std::vector<Partial> triangle(int limit) {
  std::vector<Partial> partials;
  for (int h = 1; h <= limit; h += 2)
    partials.push_back({h, ((h / 2) % 2 == 0 ? 1.0 : -1.0) / (h * h), false});
  return partials;
}

// 25 % duty cycle: cosine series with coefficients sin(pi h / 4) / h.
std::vector<Partial> pulse(int limit) {
  std::vector<Partial> partials;
  for (int h = 1; h <= limit; ++h) {
    const double coefficient = sinTurns(h, 8) / h;
    if (coefficient != 0.0) partials.push_back({h, coefficient * sigma(h, limit), true});
  }
  return partials;
}

// Drawbar registration 8', 4', 2 2/3', 2', 1 1/3', 1': harmonics 1, 2, 3, 4,
// 6 and 8, falling off gently.
std::vector<Partial> organ() {
  return {{1, 1.0, false}, {2, 0.8, false}, {3, 0.6, false},
          {4, 0.5, false}, {6, 0.3, false}, {8, 0.25, false}};
}

// Saw-like with a lift in harmonics 3 to 10 and alternating sine and cosine
// phases, which keeps the peak low and the tone bright.
std::vector<Partial> brightString(int limit) {
  std::vector<Partial> partials;
  for (int h = 1; h <= limit; ++h) {
    const double lift = h >= 3 && h <= 10 ? 1.6 : 1.0;
    partials.push_back({h, lift / h * sigma(h, limit), h % 2 == 0});
  }
  return partials;
}

// Odd harmonics strong, even ones faint: the hollow tone of a cylindrical
// bore.
std::vector<Partial> hollowReed(int limit) {
  std::vector<Partial> partials;
  for (int h = 1; h <= limit; ++h) {
    const double amplitude = (h % 2 == 1 ? 1.0 : 0.12) / h;
    partials.push_back({h, amplitude * sigma(h, limit), false});
  }
  return partials;
}

struct DemoPreset {
  const char* name;
  int bank;
  int cutoffCode;
  int resonanceCode;
  bool secondOscillator;
  // Filter envelope bytes 0, 1, 2, 4, 6, 8: ramp start, ramp rate (x 0.1 per
  // sample), ramp end, glide time (x 10 samples), hold level, hold time
  // (x 1000 samples); a zero rate, glide or hold time takes its default.
  uint8_t rampStart, rampRate, rampEnd, glideTime, holdLevel, holdTime;
};

// Banks: 0 sine, 1 saw, 2 square, 3 triangle, 4 pulse, 5 organ, 6 string,
// 7 reed. Cutoff code 3 holds the filter open whatever the envelope does.
constexpr DemoPreset kPresets[kPresetCount] = {
    {"Soft Sine", 0, 3, 0, false, 200, 0, 200, 0, 200, 0},
    {"Sine Chorus", 0, 2, 0, true, 180, 0, 180, 0, 180, 0},
    {"Saw Lead", 1, 1, 1, false, 160, 0, 255, 20, 200, 0},
    {"Saw Pluck", 1, 0, 1, true, 255, 0, 255, 30, 40, 0},
    {"Brass Swell", 1, 0, 2, true, 60, 5, 255, 150, 170, 0},
    {"Square Bass", 2, 0, 2, false, 230, 0, 230, 20, 50, 0},
    {"Hollow Square", 2, 2, 0, true, 100, 0, 100, 0, 100, 0},
    {"Square Sweep", 2, 0, 3, false, 0, 1, 255, 255, 60, 0},
    {"Triangle Flute", 3, 1, 0, false, 40, 10, 220, 50, 180, 0},
    {"Triangle Pad", 3, 2, 1, true, 0, 2, 200, 200, 150, 0},
    {"Pulse Clav", 4, 0, 1, false, 255, 0, 255, 8, 70, 1},
    {"Pulse Lead", 4, 1, 2, true, 120, 20, 240, 40, 200, 0},
    {"Pulse Wah", 4, 0, 3, true, 20, 2, 255, 255, 90, 0},
    {"Drawbar Organ", 5, 3, 0, false, 255, 0, 255, 0, 255, 0},
    {"Percussive Organ", 5, 1, 0, false, 255, 0, 255, 15, 150, 5},
    {"Chorus Organ", 5, 2, 1, true, 220, 0, 220, 0, 220, 0},
    {"Bright Strings", 6, 2, 0, true, 60, 3, 230, 250, 200, 0},
    {"Pizzicato", 6, 0, 1, false, 240, 0, 240, 12, 30, 2},
    {"Warm Strings", 6, 1, 0, true, 30, 1, 180, 200, 160, 0},
    {"Reed", 7, 1, 1, false, 90, 8, 200, 60, 170, 0},
    {"Double Reed", 7, 0, 2, false, 150, 0, 150, 0, 150, 0},
    {"Reed Swell", 7, 0, 3, true, 10, 1, 220, 255, 190, 0},
    {"Resonant Saw Sweep", 1, 0, 3, false, 0, 1, 255, 255, 0, 255},
    {"Sine Bell", 0, 1, 2, true, 255, 0, 255, 200, 100, 0},
    {"Triangle Bass", 3, 0, 1, false, 200, 0, 200, 25, 30, 0},
    {"Pulse Pad", 4, 2, 2, true, 50, 1, 200, 255, 140, 0},
    {"Organ Wah", 5, 0, 3, false, 0, 4, 255, 180, 120, 0},
    {"Square Pluck", 2, 1, 1, true, 255, 0, 255, 5, 20, 0},
    {"String Ensemble", 6, 3, 0, true, 255, 0, 255, 0, 255, 0},
    {"Muted Reed", 7, 0, 0, false, 80, 0, 80, 0, 80, 0},
    {"Saw Pad", 1, 2, 1, true, 20, 1, 160, 255, 140, 40},
    {"Open Saw", 1, 3, 0, true, 255, 0, 255, 0, 255, 0},
};

}  // namespace

const std::array<std::string, kPresetCount>& demoPresetNames() {
  static const std::array<std::string, kPresetCount> names = [] {
    std::array<std::string, kPresetCount> list;
    for (int p = 0; p < kPresetCount; ++p) list[static_cast<size_t>(p)] = kPresets[p].name;
    return list;
  }();
  return names;
}

RomSet demoRomSet() {
  // Full-size files: DD1, DD2, DD13 and DD14 fill positions 0..8191 of the
  // image, so the preset table sits 1024 bytes into DD16, at 9216..10239.
  RomSet set = RomSet::blank();
  set.setPitchTable(equalTemperedPitchTable(44100.0));

  set.setWaveBank(0, additive(sine()));
  set.setWaveBank(1, additive(saw(32)));
  set.setWaveBank(2, additive(square(31)));
  set.setWaveBank(3, additive(triangle(31)));
  set.setWaveBank(4, additive(pulse(32)));
  set.setWaveBank(5, additive(organ()));
  set.setWaveBank(6, additive(brightString(40)));
  set.setWaveBank(7, additive(hollowReed(24)));

  for (int p = 0; p < kPresetCount; ++p) {
    const DemoPreset& d = kPresets[p];
    PresetRecord record;
    record.envelope(d.rampStart, d.rampRate, d.rampEnd, d.glideTime, d.holdLevel, d.holdTime);
    record.control(d.bank, d.cutoffCode, d.resonanceCode, d.secondOscillator);
    set.setPreset(p, record);
  }
  return set;
}

}  // namespace romset
