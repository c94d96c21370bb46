// The audio block loop: release slopes, oscillator steps under pitch bend
// and detune, phase order, the mix and its clip, and the block start.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "instrument/engine/oscillators.h"
#include "instrument/engine/rom_loader.h"
#include "tests/unit/sound_fixture.h"

using namespace sarn2;

using namespace soundtest;

namespace {

constexpr float kFullSample = 1023.0f / 512.0f;
// One oscillator reading the full sample, filter off: 1023/512 x 0.035 as a float, 0.0699316.
const float kFullOutput = static_cast<float>(1023.0 / 512.0 * 0.035);

// Releases one voice and counts the rendered samples until it is free.
int samplesUntilFree(float release, float sampleRate) {
  Instrument instrument(plainRomSet());
  instrument->setSampleRate(sampleRate);
  instrument->setParameter(Sarn2VST::releaseParameter, release);
  instrument.midi({{0x90, 60, 90}, {0x80, 60, 0}});
  for (int n = 1; n <= 1000000; ++n) {
    instrument.render(1);
    if (instrument->engine().voices()[0].state == VoiceState::free) {
      EXPECT_EQ(instrument->engine().voices()[0].level, 0.0);
      return n;
    }
  }
  return -1;
}

// A ROM set whose bank 0 holds the full positive value at one sample and
// zero elsewhere, and whose pitch table gives note 24 the given step.
romset::RomSet singleSampleSet(int sampleIndex, uint16_t step, bool secondOscillator = false) {
  romset::RomSet set = plainRomSet();
  std::vector<double> bank(romset::kSamplesPerBank, 0.0);
  bank[static_cast<size_t>(sampleIndex)] = kFullSample;
  set.setWaveBank(0, bank);
  set.setPitchTable(pitchTableWith({{pitchIndexOf(24), step}}));
  set.setPreset(0, romset::PresetRecord{}.control(0, 0, 0, secondOscillator));
  return set;
}

}  // namespace

TEST(VoiceRelease, FreedAtTheSampleTheSlopeGives) {
  EXPECT_EQ(samplesUntilFree(0.5f, 44100.0f), 40242);
  EXPECT_EQ(samplesUntilFree(0.0f, 44100.0f), 2205);
  EXPECT_EQ(samplesUntilFree(1.0f, 44100.0f), 154350);
  EXPECT_EQ(samplesUntilFree(0.5f, 48000.0f), 43801);
  // A host rate of 0 falls back to 44100 for the slope.
  EXPECT_EQ(samplesUntilFree(0.5f, 0.0f), 40242);
  EXPECT_EQ(samplesUntilFree(0.5f, -8000.0f), 40242);
}

TEST(VoiceRelease, FirstReleasedSampleAlreadyPlaysLower) {
  Instrument instrument(singleSampleSet(1, 2048));
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  instrument->setParameter(Sarn2VST::releaseParameter, 0.0f);  // 0.05 s: level falls by 1/2205 per sample
  instrument.midi({{0x90, 24, 90}, {0x80, 24, 0}});
  const double level = 1.0 - 1.0 / (44100.0 * 0.05);
  EXPECT_EQ(instrument.renderOne(), static_cast<float>((1023.0 / 512.0 * 0.035) * level));
  EXPECT_EQ(instrument->engine().voices()[0].level, level);
}

TEST(VoiceRelease, SlopeFollowsReleaseChangesMidway) {
  Instrument instrument(plainRomSet());
  instrument->setParameter(Sarn2VST::releaseParameter, 1.0f);
  instrument.midi({{0x90, 60, 90}, {0x80, 60, 0}});
  instrument.render(1000);
  instrument->setParameter(Sarn2VST::releaseParameter, 0.0f);
  int n = 0;
  while (instrument->engine().voices()[0].state != VoiceState::free && n < 10000) {
    instrument.render(1);
    ++n;
  }
  EXPECT_LT(n, 2205);  // the remaining level falls at the fast slope
  EXPECT_GT(n, 2100);
}

TEST(VoiceOscillator, PitchBendScalesTheStep) {
  const auto stepWithBend = [](float bend) {
    Instrument instrument(singleSampleSet(0, 10000));
    instrument->engine().setPitchBend(bend);
    instrument.midi({{0x90, 24, 90}});
    instrument.render(1);
    return instrument->engine().phaseAccumulators()[0];
  };
  EXPECT_EQ(stepWithBend(0.0f), 10000u);
  EXPECT_EQ(stepWithBend(0.5f), 10594u);
  EXPECT_EQ(stepWithBend(1.0f), 11224u);
  EXPECT_EQ(stepWithBend(-1.0f), 8908u);
  // The bend factors as rounded to float.
  EXPECT_EQ(static_cast<float>(std::pow(2.0, static_cast<double>(static_cast<float>(0.5 * 2.0 / 12.0)))),
            1.0594631f);
}

TEST(VoiceOscillator, SecondOscillatorDetunesTheTruncatedStep) {
  romset::RomSet set = plainRomSet();
  const std::vector<std::pair<int, uint16_t>> steps = {
      {24, 1000}, {25, 1001}, {26, 100}, {27, 124}, {28, 125}};
  std::vector<std::pair<int, uint16_t>> entries;
  for (const auto& [note, step] : steps) entries.push_back({pitchIndexOf(note), step});
  set.setPitchTable(pitchTableWith(entries));
  set.setPreset(0, romset::PresetRecord{}.control(0, 0, 0, true));
  Instrument instrument(set);
  for (const auto& step : steps) instrument.midi({{0x90, static_cast<uint8_t>(step.first), 90}});
  instrument.render(1);
  const uint32_t expected[][2] = {{1000, 1008}, {1001, 1009}, {100, 100}, {124, 124}, {125, 126}};
  for (size_t v = 0; v < 5; ++v) {
    EXPECT_EQ(instrument->engine().phaseAccumulators()[2 * v], expected[v][0]) << "voice " << v;
    EXPECT_EQ(instrument->engine().phaseAccumulators()[2 * v + 1], expected[v][1]) << "voice " << v;
  }
}

// The detune scales s1 = trunc(inc * factor), not the product itself:
// trunc(10594 * 1.008) = 10678, where trunc(10000 * 1.0594631 * 1.008) would be 10679.
TEST(VoiceOscillator, SecondOscillatorUnderBendUsesTruncatedFirstStep) {
  Instrument instrument(singleSampleSet(0, 10000, true));
  instrument->engine().setPitchBend(0.5f);
  instrument.midi({{0x90, 24, 90}});
  instrument.render(1);
  EXPECT_EQ(instrument->engine().phaseAccumulators()[0], 10594u);
  EXPECT_EQ(instrument->engine().phaseAccumulators()[1], 10678u);
}

TEST(VoiceOscillator, PhaseAdvancesBeforeTheSampleIsRead) {
  Instrument instrument(singleSampleSet(1, 2048));
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  instrument.midi({{0x90, 24, 90}});
  // Sample 0 is silent, sample 1 full: the first output already reads sample 1.
  EXPECT_EQ(instrument.renderOne(), kFullOutput);
  EXPECT_NEAR(kFullOutput, 0.0699316, 5e-8);
  EXPECT_EQ(instrument.renderOne(), 0.0f);  // phase 4096 reads sample 2
}

// The oscillator unit alone: note 24 steps by `step`, bank 0 holds the full
// positive sample at index 0 and zero elsewhere.
struct OscillatorRig {
  RomTables roms;
  VoiceSlots slots;
  Oscillators oscillators;
  std::array<double, 4> mix{};

  explicit OscillatorRig(uint16_t step) {
    roms.pitchTable.assign(romset::kTablePairs, 0);
    roms.pitchTable[static_cast<size_t>(pitchIndexOf(24))] = step;
    roms.waveTable.assign(kWaveBankBytes, 0);
    roms.waveTable[0] = 0xFF;  // magnitude 1023, positive
    roms.waveTable[1] = 0x07;
  }
  double renderOne(bool twoOscillators) {
    mix.fill(0.0);
    const Oscillators::Block block = oscillators.prepare(roms, 0, 0.0f, 0.5, 44100.0, twoOscillators);
    oscillators.mix(slots, roms, block, mix.data(), 1);
    return mix[0];
  }
};

TEST(VoiceOscillator, PhaseWrapsAtTwentyBits) {
  OscillatorRig rig(0x20);
  rig.slots.noteOn(24);
  rig.oscillators.phaseAccumulators[0] = 0xFFFF0;
  EXPECT_EQ(rig.renderOne(false), 1023.0 / 512.0 * 0.035);
  EXPECT_EQ(rig.oscillators.phaseAccumulators[0], 0x10u);
}

TEST(VoiceOscillator, ClaimedVoiceContinuesFromItsSlotsPhase) {
  OscillatorRig rig(1000);
  rig.oscillators.phaseAccumulators[0] = 777;
  rig.oscillators.phaseAccumulators[1] = 555;
  rig.slots.noteOn(24);
  rig.renderOne(true);
  EXPECT_EQ(rig.oscillators.phaseAccumulators[0], 1777u);
  EXPECT_EQ(rig.oscillators.phaseAccumulators[1], 1563u);
  // While the second oscillator is off its phase stays where it is.
  rig.renderOne(false);
  EXPECT_EQ(rig.oscillators.phaseAccumulators[0], 2777u);
  EXPECT_EQ(rig.oscillators.phaseAccumulators[1], 1563u);
}

TEST(VoiceMix, GainClipAndSampleEncoding) {
  // Full positive samples everywhere, two oscillators on eight voices:
  // 16 x 0.0699 = 1.119 before the clip.
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, kFullSample));
  set.setPitchTable(std::vector<uint16_t>(romset::kTablePairs, 3000));
  set.setPreset(0, romset::PresetRecord{}.control(0, 0, 0, true));
  Instrument instrument(set);
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  instrument.midi({{0x90, 60, 1}});
  EXPECT_EQ(instrument.renderOne(), static_cast<float>(2 * (1023.0 / 512.0 * 0.035)));
  for (uint8_t n = 61; n < 68; ++n) instrument.midi({{0x90, n, 1}});
  EXPECT_EQ(instrument.renderOne(), 1.0f);

  // Negative samples clip at -1.
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, -kFullSample));
  Instrument negative(set);
  negative->setParameter(Sarn2VST::filterParameter, 0.0f);
  for (uint8_t n = 60; n < 68; ++n) negative.midi({{0x90, n, 1}});
  EXPECT_EQ(negative.renderOne(), -1.0f);
}

TEST(VoiceMix, WaveBankFollowsThePresetAtTheNextBlock) {
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, 0.5));
  set.setWaveBank(7, std::vector<double>(romset::kSamplesPerBank, -0.25));
  set.setPitchTable(std::vector<uint16_t>(romset::kTablePairs, 3000));
  set.setPreset(31, romset::PresetRecord{}.control(7, 0, 0, false));
  Instrument instrument(set);
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  instrument.midi({{0x90, 60, 1}});
  EXPECT_EQ(instrument.renderOne(), static_cast<float>(0.5 * 0.035));
  EXPECT_EQ(instrument->engine().waveBankOffset(), 0);
  instrument->setProgram(40);  // stored unclamped; the record read is preset 31's
  EXPECT_EQ(instrument.renderOne(), static_cast<float>(-0.25 * 0.035));
  EXPECT_EQ(instrument->engine().waveBankOffset(), 7 * 1024);
}

TEST(VoiceBlockStart, CountOfZeroStillTakesTheRate) {
  Instrument instrument(plainRomSet());
  instrument->setSampleRate(48000.0f);
  float sentinel[2] = {-7.0f, -7.0f};
  float* outputs[1] = {sentinel};
  instrument->renderBlock(nullptr, outputs, 0);
  EXPECT_EQ(instrument->engine().renderRate(), 48000.0);
  instrument->setSampleRate(0.0f);
  instrument->renderBlock(nullptr, outputs, -3);
  EXPECT_EQ(instrument->engine().renderRate(), 44100.0);
  EXPECT_EQ(sentinel[0], -7.0f);
  EXPECT_EQ(sentinel[1], -7.0f);
}

// The step is trunc((inc x bend) x (44100 / rate)); the detune scales the
// truncated step. Rates that are no rate play as 44100; an infinite or huge
// rate gives step 0, a tiny one saturates.
TEST(VoicePitch, StepScalesWithTheRateInThatOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double rate;
    uint16_t inc;
    float bend;
    uint32_t step0, step1;
  };
  const Case cases[] = {
      {44100.0, 10462, 0.0f, 10462, 10545},
      {48000.0, 10462, 0.0f, 9611, 9687},
      {96000.0, 10462, 0.0f, 4805, 4843},
      {22050.0, 10462, 0.0f, 20924, 21091},
      {44100.0, 10000, 0.5f, 10594, 10678},
      {48000.0, 10000, 0.5f, 9733, 9810},
      {0.0, 10462, 0.0f, 10462, 10545},
      {-96000.0, 10462, 0.0f, 10462, 10545},
      {nan, 10462, 0.0f, 10462, 10545},
      {inf, 10462, 0.0f, 0, 0},
      {1e30, 10462, 0.0f, 0, 0},
      {1e-30, 10462, 0.0f, 0xFFFFF, 0xFFFFF},
  };
  for (const Case& c : cases) {
    testhost::TempDir dir;
    ASSERT_TRUE(singleSampleSet(0, c.inc, true).write(dir.path()));
    Engine engine(loadRomTables(dir.path()));
    engine.setPitchBend(c.bend);
    engine.noteOn(24);
    float out = 0.0f;
    engine.renderBlock(&out, 1, c.rate);
    EXPECT_EQ(engine.phaseAccumulators()[0], c.step0 & 0xFFFFF) << c.rate << " " << c.inc;
    EXPECT_EQ(engine.phaseAccumulators()[1], c.step1 & 0xFFFFF) << c.rate << " " << c.inc;
  }
}

// Hostile rates: no NaN or out-of-range output, and a released voice ends.
TEST(VoicePitch, HostileRatesStayFiniteAndVoicesEnd) {
  for (double rate : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity(), 1e30, 1e-30}) {
    testhost::TempDir dir;
    ASSERT_TRUE(romset::demoRomSet().write(dir.path()));
    Engine engine(dir.path());
    engine.noteOn(69);
    engine.noteOff(69);
    std::vector<float> out(44100);
    engine.renderBlock(out.data(), 44100, rate);
    for (float x : out) ASSERT_TRUE(x >= -1.0f && x <= 1.0f) << rate;
    EXPECT_EQ(engine.voices()[0].state, VoiceState::free) << rate;
  }
}

namespace {

// The frequency of a rendered tone from its rising zero crossings.
double measuredFrequency(const std::vector<float>& samples, double rate) {
  int64_t first = -1, last = -1, cycles = -1;
  for (size_t n = 1; n < samples.size(); ++n) {
    if (samples[n - 1] <= 0.0f && samples[n] > 0.0f) {
      if (first < 0) first = static_cast<int64_t>(n);
      last = static_cast<int64_t>(n);
      ++cycles;
    }
  }
  return cycles > 0 ? cycles * rate / static_cast<double>(last - first) : 0.0;
}

}  // namespace

// Note 69 of the demo set is A4 at every rate, within the step's truncation
// (a step is worth rate / 2^20 Hz) and the table's own rounding.
TEST(VoicePitch, DemoA4Sounds440HzAtEveryRate) {
  testhost::TempDir dir;
  ASSERT_TRUE(romset::demoRomSet().write(dir.path()));
  for (double rate : {44100.0, 48000.0, 96000.0, 22050.0}) {
    Engine engine(dir.path());  // preset 0: a plain sine, one oscillator
    engine.setFilterOn(false);
    engine.noteOn(69);
    std::vector<float> out(static_cast<size_t>(rate));
    engine.renderBlock(out.data(), static_cast<int32_t>(out.size()), rate);
    EXPECT_NEAR(measuredFrequency(out, rate), 440.0, rate / 1048576.0 + 0.05) << rate;
  }
}

TEST(VoiceBlockStart, MissingWavesGiveSilenceAndFreezeTheVoices) {
  romset::RomSet set = plainRomSet();
  for (const char* name : {"DD13", "DD14", "DD18", "DD19"}) set.file(name)->clear();
  // The image still holds data (DD16 and the rest), the wave table is empty.
  Instrument instrument(set);
  ASSERT_TRUE(instrument->engine().roms().waveTable.empty());
  instrument.midi({{0x90, 60, 90}, {0x90, 61, 90}, {0x80, 61, 0}});
  const std::vector<float> output = instrument.render(500);
  for (float x : output) ASSERT_EQ(x, 0.0f);
  EXPECT_EQ(instrument->engine().voices()[0].state, VoiceState::held);
  EXPECT_EQ(instrument->engine().voices()[1].state, VoiceState::released);
  EXPECT_EQ(instrument->engine().voices()[1].level, 1.0);
  EXPECT_EQ(instrument->engine().phaseAccumulators()[0], 0u);
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 0);  // the filter did not run either
}

TEST(VoiceBlockStart, PitchTableTooShortSilencesTheVoiceOnly) {
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, 1.0));
  set.resize("DD1", 1);
  set.resize("DD2", 1);
  Instrument instrument(set);
  ASSERT_EQ(instrument->engine().roms().pitchTable.size(), 1u);
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  instrument->setParameter(Sarn2VST::releaseParameter, 0.0f);
  instrument.midi({{0x90, 60, 90}, {0x90, 61, 90}, {0x80, 61, 0}});
  for (float x : instrument.render(3000)) ASSERT_EQ(x, 0.0f);
  EXPECT_EQ(instrument->engine().voices()[0].state, VoiceState::held);
  EXPECT_EQ(instrument->engine().voices()[1].state, VoiceState::free);  // its release still ran
}

TEST(VoiceExtremeValues, OutputStaysFiniteAndReleasedVoicesEnd) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float releases[] = {nan, inf, -inf, 1e30f, -1e30f, 3.0e38f};
  const float bends[] = {nan, inf, -inf, 1e30f, -1e30f, 3.0e38f, 1000.0f, 0.5f};
  romset::RomSet set = plainRomSet();
  std::vector<double> ramp;
  for (int s = 0; s < romset::kSamplesPerBank; ++s) ramp.push_back((s - 256) / 128.0);
  set.setWaveBank(0, ramp);
  set.setPitchTable(std::vector<uint16_t>(romset::kTablePairs, 40000));
  set.setPreset(0, romset::PresetRecord{}.envelope(0, 0, 255, 0, 100, 0).control(0, 0, 3, true));
  for (float release : releases) {
    for (float bend : bends) {
      Instrument instrument(set);
      ASSERT_EQ(instrument.setChunk(makeChunk(0, release, bend, 1)), 1);
      instrument.midi({{0x90, 60, 90}, {0x90, 67, 90}, {0x90, 127, 90}, {0x80, 67, 0}});
      bool sounded = false;
      for (float x : instrument.render(2000)) {
        ASSERT_TRUE(std::isfinite(x) && x >= -1.0f && x <= 1.0f) << release << " " << bend;
        sounded = sounded || x != 0.0f;
      }
      // A release time no level can fall through ends the voice at once.
      EXPECT_EQ(instrument->engine().voices()[1].state, VoiceState::free) << release << " " << bend;
      EXPECT_EQ(instrument->engine().voices()[0].state, VoiceState::held);
      // A bend that gives no step leaves the phases still; any other keeps sounding.
      if (!(bend == -inf || bend == -1e30f || std::isnan(bend))) {
        EXPECT_TRUE(sounded) << release << " " << bend;
      }
    }
  }
}

TEST(VoiceExtremeValues, FilterRecoversAfterAnUnplayableRelease) {
  Instrument instrument(singleSampleSet(1, 2048));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ASSERT_EQ(instrument.setChunk(makeChunk(0, nan, 0.0f, 1)), 1);
  instrument.midi({{0x90, 24, 90}, {0x80, 24, 0}});
  instrument.render(10);
  EXPECT_EQ(instrument->engine().voices()[0].state, VoiceState::free);
  instrument->setParameter(Sarn2VST::releaseParameter, 0.5f);
  instrument.midi({{0x90, 24, 90}});
  bool sounded = false;
  for (float x : instrument.render(1000)) {
    ASSERT_TRUE(std::isfinite(x));
    sounded = sounded || x != 0.0f;
  }
  EXPECT_TRUE(sounded);
}

TEST(VoiceExtremeValues, ChunkKeepsUnplayableValuesBitForBit) {
  const uint32_t patterns[] = {0x7FC00000u, 0xFFC00001u, 0x7FA00001u, 0x7F800000u, 0xFF800000u,
                               0x7F7FFFFFu, 0x00000001u, 0x80000000u, 0x5E9A3C3Bu};
  for (uint32_t bits : patterns) {
    Instrument instrument(plainRomSet());
    std::vector<uint8_t> bytes = makeChunk(7, 0.0f, 0.0f, 1);
    std::memcpy(&bytes[4], &bits, 4);   // release
    std::memcpy(&bytes[8], &bits, 4);   // reserved
    std::memcpy(&bytes[12], &bits, 4);  // pitch bend
    ASSERT_EQ(instrument.setChunk(bytes), 1);
    instrument.midi({{0x90, 60, 90}, {0x80, 60, 0}});
    for (float x : instrument.render(300)) ASSERT_TRUE(std::isfinite(x) && x >= -1.0f && x <= 1.0f);
    EXPECT_EQ(instrument.chunk(), bytes) << std::hex << bits;
  }
}
