// The demo ROM set: its bytes are pinned (golden renders rest on them), and
// it must be what it claims to be once an instance has loaded it.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "instrument/engine/filter_envelope.h"
#include "instrument/engine/rom_loader.h"
#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/romset/portable_math.h"
#include "tools/romset/romset.h"

using namespace sarn2;

namespace {

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) {
    hash ^= b;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

RomTables loadDemo() {
  testhost::TempDir dir;
  EXPECT_TRUE(romset::demoRomSet().write(dir.path()));
  return loadRomTables(dir.path());
}

}  // namespace

TEST(DemoRomSet, BytesAreTheSameOnEveryPlatformAndNeverChange) {
  const std::vector<uint8_t> image = romset::demoRomSet().image();
  ASSERT_EQ(image.size(), 20480u);
  EXPECT_EQ(fnv1a(image), 0x88adaec50e2346f3ull);
  EXPECT_EQ(fnv1a(romset::demoRomSet().image()), fnv1a(image));
}

TEST(DemoRomSet, PortableMathAgreesWithTheLibraryToTheLastFewBits) {
  for (int n = -1024; n <= 1024; ++n) {
    EXPECT_NEAR(romset::sinTurns(n, 512), std::sin(6.283185307179586 * n / 512), 4e-15) << n;
  }
  EXPECT_EQ(romset::sinTurns(0, 512), 0.0);
  EXPECT_EQ(romset::sinTurns(128, 512), 1.0);
  EXPECT_EQ(romset::sinTurns(-128, 512), -1.0);
  for (int n = -3000; n <= 3000; n += 7) {
    const double exact = std::pow(2.0, n / 192.0);
    EXPECT_NEAR(romset::exp2Ratio(n, 192), exact, exact * 2e-15) << n;
  }
  EXPECT_EQ(romset::exp2Ratio(192, 192), 2.0);
  EXPECT_EQ(romset::exp2Ratio(-384, 192), 0.25);
}

TEST(DemoRomSet, LoadsAsFullTablesWithThePresetTableInPlace) {
  const RomTables roms = loadDemo();
  EXPECT_EQ(roms.romImage.size(), 20480u);
  EXPECT_EQ(roms.pitchTable.size(), 2048u);
  EXPECT_EQ(roms.waveTable.size(), 8192u);
  // Records 0 to 31 are whole and byte 15 matches what the builder wrote.
  const romset::RomSet set = romset::demoRomSet();
  for (int32_t p = 0; p < 32; ++p) {
    ASSERT_NE(wholePresetRecord(roms, p), nullptr);
    EXPECT_EQ(presetControlByte(roms, p), set.preset(p).controlByte()) << p;
  }
}

TEST(DemoRomSet, PitchTableIsEqualTemperedWithA440AndSaturatesAtTheTop) {
  const RomTables roms = loadDemo();
  auto stepOf = [&](int32_t note) {
    return roms.pitchTable[static_cast<size_t>(pitchTableIndex(roms, note))];
  };
  EXPECT_EQ(stepOf(69), 10462);  // 440 Hz x 2^20 / 44100 = 10461.9
  EXPECT_EQ(stepOf(81), 20924);
  EXPECT_EQ(stepOf(57), 5231);
  EXPECT_EQ(stepOf(24), 778);  // 32.70 Hz
  EXPECT_EQ(stepOf(0), stepOf(24));
  // Each semitone is 2^(1/12) within the rounding of the steps.
  for (int32_t note = 25; note <= 100; ++note) {
    const double ratio = static_cast<double>(stepOf(note)) / stepOf(note - 1);
    EXPECT_NEAR(ratio, 1.0594630943592953, 1.0 / stepOf(note - 1)) << note;
  }
  EXPECT_LT(stepOf(100), 65535);
  for (int32_t note = 101; note <= 127; ++note) EXPECT_EQ(stepOf(note), 65535) << note;
  for (size_t i = 1; i < roms.pitchTable.size(); ++i) EXPECT_GE(roms.pitchTable[i], roms.pitchTable[i - 1]);
}

TEST(DemoRomSet, EightDistinctWavesUseTheSameHeadroom) {
  const RomTables roms = loadDemo();
  std::set<std::vector<double>> waves;
  for (int32_t bank = 0; bank < 8; ++bank) {
    std::vector<double> wave;
    double peak = 0.0;
    double mean = 0.0;
    for (int32_t s = 0; s < 512; ++s) {
      const double x = waveSample(roms, bank * 1024, s);
      wave.push_back(x);
      peak = std::max(peak, std::fabs(x));
      mean += x / 512;
      // Bits 3-7 of every high byte are clear, as a clean dump has them.
      EXPECT_EQ(roms.waveTable[static_cast<size_t>(bank * 1024 + 2 * s + 1)] & 0xF8, 0);
    }
    EXPECT_EQ(peak, 896.0 / 512.0) << bank;
    EXPECT_NEAR(mean, 0.0, 0.01) << bank;  // no DC offset
    waves.insert(wave);
  }
  EXPECT_EQ(waves.size(), 8u);
  // Bank 0 is a sine: a quarter of the way through it peaks.
  EXPECT_EQ(waveSample(roms, 0, 0), 0.0);
  EXPECT_EQ(waveSample(roms, 0, 128), 896.0 / 512.0);
  EXPECT_EQ(waveSample(roms, 0, 384), -896.0 / 512.0);
}

TEST(DemoRomSet, PresetsCoverEveryBankCodeAndOscillatorSetting) {
  const romset::RomSet set = romset::demoRomSet();
  std::set<int> banks, cutoffs, resonances, oscillators;
  std::set<std::string> names;
  int plucks = 0, sweeps = 0;
  for (int p = 0; p < 32; ++p) {
    const romset::PresetRecord record = set.preset(p);
    const uint8_t control = record.controlByte();
    banks.insert(control & 7);
    cutoffs.insert(control >> 3 & 3);
    resonances.insert(control >> 5 & 3);
    oscillators.insert(control >> 7);
    const std::string& name = romset::demoPresetNames()[static_cast<size_t>(p)];
    EXPECT_FALSE(name.empty());
    names.insert(name);
    // A pluck starts open and glides down; a slow sweep ramps at the
    // slowest rate. Both only matter where the cutoff code lets the
    // envelope through.
    if ((control >> 3 & 3) == 3) continue;
    if (record.bytes[0] >= record.bytes[2] && record.bytes[6] + 100 < record.bytes[0]) ++plucks;
    if (record.bytes[1] == 1 && record.bytes[2] > record.bytes[0] + 100) ++sweeps;
  }
  EXPECT_EQ(banks.size(), 8u);
  EXPECT_EQ(cutoffs.size(), 4u);
  EXPECT_EQ(resonances.size(), 4u);
  EXPECT_EQ(oscillators.size(), 2u);
  EXPECT_EQ(names.size(), 32u);
  EXPECT_GE(plucks, 4);
  EXPECT_GE(sweeps, 4);
}

TEST(DemoRomSet, EveryPresetSoundsANoteWithinRange) {
  testhost::TempDir dir;
  ASSERT_TRUE(romset::demoRomSet().write(dir.path()));
  for (int32_t p = 0; p < 32; ++p) {
    Sarn2VST vst(nullptr, dir.path());
    vst.setProgram(p);
    vst.engine().noteOn(60);
    std::vector<float> out(8820);
    float* outputs[] = {out.data()};
    vst.renderBlock(nullptr, outputs, static_cast<int32_t>(out.size()));
    double energy = 0.0;
    for (float s : out) {
      ASSERT_TRUE(s >= -1.0f && s <= 1.0f) << romset::demoPresetNames()[static_cast<size_t>(p)];
      energy += static_cast<double>(s) * s;
    }
    EXPECT_GT(energy / out.size(), 1e-5) << romset::demoPresetNames()[static_cast<size_t>(p)];
  }
}

namespace {

// What a preset's name promises of its decoded filter envelope.
enum class Shape { steady, pluck, decay, attack, swell, sweep, wah };

struct EnvelopeFacts {
  int start, peak, peakAt, hold, settleAt;
};

EnvelopeFacts factsOf(const FilterEnvelope& e) {
  EnvelopeFacts f{e[0], 0, 0, e.holdLevelValue(), e.variableLength()};
  for (int32_t i = 0; i < e.size() && i <= e.variableLength(); ++i)
    if (e[i] > f.peak) f.peak = e[i], f.peakAt = i;
  while (f.settleAt > 0 && e[f.settleAt - 1] == f.hold) --f.settleAt;
  return f;
}

bool fits(Shape shape, const EnvelopeFacts& f) {
  constexpr int kQuick = 441;  // 10 ms at 44.1 kHz
  switch (shape) {
    case Shape::steady:  // one level throughout
      return f.start == f.peak && f.peak == f.hold && f.settleAt == 0;
    case Shape::pluck:  // starts open and closes by 100 levels within 10 ms
      return f.start == f.peak && f.start >= 200 && f.hold + 100 <= f.start && f.settleAt <= kQuick;
    case Shape::decay:  // closes as far, but more slowly
      return f.start == f.peak && f.hold + 100 <= f.start && f.settleAt > kQuick;
    case Shape::attack:  // opens within 10 ms and stays open
      return f.peakAt <= kQuick && f.peak >= f.start + 60 && f.hold >= 150;
    case Shape::swell:  // ends well above where it began, at least half open
      return f.hold >= f.start + 90 && f.hold >= 128;
    case Shape::sweep:  // climbs from closed to open at the slowest rate, and does not close again
      return f.start <= 20 && f.peak >= 250 && f.peakAt >= 2000 && f.hold >= f.start + 50;
    case Shape::wah:  // climbs from closed to open and settles part way back
      return f.start <= 20 && f.peak >= 250 && f.hold + 100 <= f.peak && f.hold > f.start;
  }
  return false;
}

}  // namespace

TEST(DemoRomSet, EveryPresetNameMatchesItsDecodedEnvelope) {
  using S = Shape;
  const std::pair<const char*, Shape> table[32] = {
      {"Soft Sine", S::steady},
      {"Sine Chorus", S::steady},
      {"Saw Lead", S::attack},
      {"Saw Pluck", S::pluck},
      {"Brass Swell", S::swell},
      {"Square Bass", S::pluck},
      {"Hollow Square", S::steady},
      {"Square Sweep", S::sweep},
      {"Triangle Flute", S::attack},
      {"Triangle Pad", S::swell},
      {"Pulse Clav", S::pluck},
      {"Pulse Lead", S::attack},
      {"Pulse Wah", S::wah},
      {"Drawbar Organ", S::steady},
      {"Percussive Organ", S::pluck},
      {"Chorus Organ", S::steady},
      {"Bright Strings", S::swell},
      {"Pizzicato", S::pluck},
      {"Warm Strings", S::swell},
      {"Reed", S::attack},
      {"Double Reed", S::steady},
      {"Reed Swell", S::swell},
      {"Resonant Saw Sweep", S::sweep},
      {"Sine Bell", S::decay},
      {"Triangle Bass", S::pluck},
      {"Pulse Pad", S::swell},
      {"Organ Wah", S::wah},
      {"Square Pluck", S::pluck},
      {"String Ensemble", S::steady},
      {"Muted Reed", S::steady},
      {"Saw Pad", S::swell},
      {"Open Saw", S::steady},
  };
  const RomTables roms = loadDemo();
  for (int32_t p = 0; p < 32; ++p) {
    EXPECT_EQ(romset::demoPresetNames()[static_cast<size_t>(p)], table[p].first);
    FilterEnvelope envelope;
    envelope.rebuild(wholePresetRecord(roms, p));
    const EnvelopeFacts f = factsOf(envelope);
    EXPECT_TRUE(fits(table[p].second, f))
        << table[p].first << ": starts " << f.start << ", peaks " << f.peak << " at " << f.peakAt
        << ", holds " << f.hold << " from " << f.settleAt;
  }
}
