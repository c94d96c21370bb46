// The resonant low-pass: its coefficients, its output for known inputs and
// how it reads the preset byte and the envelope.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/unit/sound_fixture.h"

using namespace sarn2;

using namespace soundtest;

namespace {

constexpr double kCutoffRange = 0.99;
constexpr double kResonanceScale = 0.8;

double filterOnce(Sarn2VST& vst, double input) {
  return vst.engine().filterSample(input, kCutoffRange, kResonanceScale);
}

romset::RomSet setWithControl(int preset, int cutoffCode, int resonanceCode) {
  romset::RomSet set = plainRomSet();
  set.setPreset(preset, romset::PresetRecord{}.control(0, cutoffCode, resonanceCode, true));
  return set;
}

}  // namespace

TEST(ResonantFilterCoefficients, CutoffForEveryCodeAtEnvelopeEnds) {
  const double expected[4][3] = {{0.05200000000000001, 0.5489411764705883, 0.99},
                                 {0.38199999999999995, 0.713294117647059, 0.99},
                                 {0.712, 0.8776470588235293, 0.99},
                                 {0.99, 0.99, 0.99}};
  const int levels[3] = {0, 128, 255};
  for (int code = 0; code < 4; ++code) {
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(ResonantFilter::cutoffCoefficient(code, levels[i], kCutoffRange), expected[code][i])
          << "code " << code << " level " << levels[i];
  }
  // The cap is reached from level 242 with cutoff code 0, not before.
  EXPECT_LT(ResonantFilter::cutoffCoefficient(0, 241, kCutoffRange), 0.99);
  EXPECT_EQ(ResonantFilter::cutoffCoefficient(0, 242, kCutoffRange), 0.99);
  for (int level = 0; level < 256; ++level)
    EXPECT_EQ(ResonantFilter::cutoffCoefficient(3, level, kCutoffRange), 0.99);
}

TEST(ResonantFilterCoefficients, ResonanceForEveryCode) {
  // With f = 0 the feedback is q + q, exactly twice the resonance.
  const double q[4] = {0.0, 0.25666666666666665, 0.5233333333333333, 0.79};
  for (int code = 0; code < 4; ++code)
    EXPECT_EQ(ResonantFilter::feedback(code, 0.0, kResonanceScale), 2 * q[code]) << "code " << code;
  // Code 0 has no trim: no feedback at any cutoff.
  EXPECT_EQ(ResonantFilter::feedback(0, 0.99, kResonanceScale), 0.0);
  EXPECT_EQ(ResonantFilter::feedback(3, 0.5489411764705883, kResonanceScale), 2.541434533124674);
  // The largest feedback, at the cap, stays finite.
  EXPECT_NEAR(ResonantFilter::feedback(3, 0.99, kResonanceScale), 79.79, 1e-9);
}

TEST(ResonantFilterSample, PlainLowPassStepResponseWithoutRoms) {
  Instrument instrument;  // no ROM: byte 15 reads 0, the empty envelope 128
  const double expected[] = {77.14212229757786, 146.7333921537928, 193.818026617686, 222.1352797211474};
  for (double value : expected) EXPECT_EQ(filterOnce(*instrument, 256.0), value);
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 0);  // an empty envelope has no position to move
  double y = 0.0;
  for (int n = 0; n < 200; ++n) y = filterOnce(*instrument, 256.0);
  EXPECT_NEAR(y, 256.0, 1e-9);
}

TEST(ResonantFilterSample, ResonantStepResponse) {
  Instrument instrument(setWithControl(0, 0, 3));
  ASSERT_EQ(instrument->engine().roms().romImage[0x2400 + 15], 0x60);
  const double expected[] = {77.14212229757786, 195.2767150267208, 311.9485224825381, 392.2447673385984};
  for (double value : expected) EXPECT_EQ(filterOnce(*instrument, 256.0), value);
}

TEST(ResonantFilterSample, RenderClipsTheResonantOvershoot) {
  // Eight voices of two full oscillators clip the mix to 1.0: the filter
  // sees 256 on every sample, at envelope level 128 throughout.
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, 1023.0 / 512.0));
  set.setPitchTable(std::vector<uint16_t>(romset::kTablePairs, 3000));
  set.setPreset(0, romset::PresetRecord{}.envelope(128, 0, 128, 0, 128, 0).control(0, 0, 3, true));
  Instrument instrument(set);
  for (uint8_t n = 60; n < 68; ++n) instrument.midi({{0x90, n, 1}});
  const std::vector<float> output = instrument.render(4);
  EXPECT_EQ(output[0], static_cast<float>(77.14212229757786 * 0.00390625));
  EXPECT_EQ(output[1], static_cast<float>(195.2767150267208 * 0.00390625));
  EXPECT_EQ(output[2], 1.0f);
  EXPECT_EQ(output[3], 1.0f);
}

TEST(ResonantFilterSample, PresetIsClampedBeforeReadingItsByte) {
  romset::RomSet set = setWithControl(0, 0, 3);
  set.setPreset(31, romset::PresetRecord{}.control(0, 3, 0, true));
  Instrument low(set);
  low->setProgram(-5);
  EXPECT_EQ(filterOnce(*low, 256.0), 77.14212229757786);
  EXPECT_EQ(filterOnce(*low, 256.0), 195.2767150267208);

  Instrument high(set);
  high->setProgram(40);
  ResonantFilter reference;
  for (int n = 0; n < 3; ++n) EXPECT_EQ(filterOnce(*high, 256.0), reference.process(256.0, 0.99, 0.0));
}

TEST(ResonantFilterSample, ExhaustedEnvelopeHoldsItsLastLevel) {
  romset::RomSet set = plainRomSet();
  set.setPreset(0, romset::PresetRecord{}.envelope(0, 0, 4, 1, 10, 1).control(0, 1, 2, true));
  Instrument instrument(set);
  instrument.midi({{0x90, 60, 90}});
  const int32_t length = instrument->engine().filterEnvelope().size();
  ASSERT_EQ(length, 1014);

  ResonantFilter reference;
  for (int32_t n = 0; n < length + 50; ++n) {
    const int32_t level = instrument->engine().filterEnvelope()[n < length ? n : length - 1];
    const double f = ResonantFilter::cutoffCoefficient(1, level, kCutoffRange);
    const double expected = reference.process(100.0, f, ResonantFilter::feedback(2, f, kResonanceScale));
    ASSERT_EQ(filterOnce(*instrument, 100.0), expected) << "sample " << n;
  }
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), length);
}

TEST(ResonantFilterSample, SwitchedOffFilterKeepsStateAndEnvelopeTime) {
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, 1.0));
  set.setPitchTable(std::vector<uint16_t>(romset::kTablePairs, 3000));
  Instrument instrument(set);
  instrument.midi({{0x90, 60, 90}});
  instrument.render(100);
  const double state1 = instrument->engine().filter().state1;
  const double state2 = instrument->engine().filter().state2;
  instrument->setParameter(Sarn2VST::filterParameter, 0.0f);
  EXPECT_EQ(instrument.renderOne(), static_cast<float>(1.0 * 0.035));
  instrument.render(99);
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 100);
  EXPECT_EQ(instrument->engine().filter().state1, state1);
  EXPECT_EQ(instrument->engine().filter().state2, state2);

  // Switched on again it resumes from the kept states.
  instrument->setParameter(Sarn2VST::filterParameter, 1.0f);
  ResonantFilter reference{state1, state2};
  const double f =
      ResonantFilter::cutoffCoefficient(0, instrument->engine().filterEnvelope()[100], kCutoffRange);
  const double expected = reference.process(0.035 * 256.0, f, 0.0) * 0.00390625;
  EXPECT_EQ(instrument.renderOne(), static_cast<float>(expected));
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 101);
}
