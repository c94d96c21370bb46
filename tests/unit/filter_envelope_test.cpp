// The per-note cutoff envelope: the sequences six record bytes give, its
// limits, and when the instrument rebuilds it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/sound_fixture.h"

using namespace sarn2;

using namespace soundtest;

namespace {

std::vector<uint8_t> build(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b4, uint8_t b6, uint8_t b8) {
  const romset::PresetRecord record = romset::PresetRecord{}.envelope(b0, b1, b2, b4, b6, b8);
  FilterEnvelope envelope;
  envelope.rebuild(record.bytes.data());
  std::vector<uint8_t> levels;
  for (int32_t i = 0; i < envelope.size(); ++i) levels.push_back(envelope[i]);
  return levels;
}

std::vector<uint8_t> levels(std::initializer_list<int> values) {
  return std::vector<uint8_t>(values.begin(), values.end());
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> repeated(uint8_t level, size_t count) { return std::vector<uint8_t>(count, level); }

}  // namespace

TEST(FilterEnvelopeSequence, WorkedRows) {
  // Glide from below that never meets 10 exactly: all ten steps, the last a 9.
  EXPECT_EQ(build(0, 0, 4, 1, 10, 1),
            levels({0, 1, 2, 3, 4, 5, 5, 6, 6, 7, 8, 8, 9, 9}) + repeated(10, 1000));
  // Accumulated 0.30000000000000004 steps, then a glide that meets 90 exactly.
  EXPECT_EQ(build(100, 3, 101, 1, 90, 2),
            levels({100, 100, 100, 100, 100, 98, 97, 96, 95, 94, 93, 92, 91, 90}) + repeated(90, 2000));
  // Start above the end: one ramp level, then twenty exact steps of 7.
  std::vector<uint8_t> falling;
  for (int level = 200; level >= 60; level -= 7) falling.push_back(static_cast<uint8_t>(level));
  EXPECT_EQ(build(200, 7, 50, 2, 60, 0), falling + repeated(60, 22050));
  EXPECT_EQ(build(200, 7, 50, 2, 60, 0).size(), 22071u);
  // A ramp step past 255 carries 255 into the glide.
  EXPECT_EQ(build(250, 200, 255, 1, 250, 1),
            levels({250, 254, 254, 253, 253, 252, 252, 251, 251, 250, 250}) + repeated(250, 1000));
  // Start, end and hold all equal: no glide at all.
  EXPECT_EQ(build(7, 0, 7, 0, 7, 0), levels({7}) + repeated(7, 22050));
}

TEST(FilterEnvelopeSequence, ZeroBytesTakeTheirDefaults) {
  // Byte 1 of 0 steps by 1.0, byte 4 of 0 glides in 100 steps, byte 8 of 0 holds 22050.
  const std::vector<uint8_t> sequence = build(0, 0, 3, 0, 103, 0);
  ASSERT_EQ(sequence.size(), 3u + 100u + 22050u);
  EXPECT_EQ(levels({sequence[0], sequence[1], sequence[2], sequence[3]}), levels({0, 1, 2, 4}));
  EXPECT_EQ(sequence[102], 103);
  // An all-zero record: one level 0 and the default hold.
  EXPECT_EQ(build(0, 0, 0, 0, 0, 0), repeated(0, 22051));
}

TEST(FilterEnvelopeSequence, LongestSequence) {
  const std::vector<uint8_t> sequence = build(0, 1, 255, 255, 0, 255);
  ASSERT_EQ(sequence.size(), 260101u);
  ASSERT_EQ(static_cast<int32_t>(sequence.size()), FilterEnvelope::kMaxLength);
  // 2551 ramp levels (the accumulated 0.1 steps add one beyond 2550)...
  EXPECT_EQ(sequence[0], 0);
  EXPECT_EQ(sequence[2549], 254);
  EXPECT_EQ(sequence[2550], 254);
  for (size_t i = 1; i < 2551; ++i) ASSERT_GE(sequence[i], sequence[i - 1]);
  // ...2550 glide levels down from 255 by 0.1...
  EXPECT_EQ(sequence[2551], 254);
  for (size_t i = 2552; i < 5101; ++i) ASSERT_LE(sequence[i], sequence[i - 1]);
  EXPECT_EQ(sequence[5100], 0);
  // ...and 255000 held zeros.
  EXPECT_TRUE(std::all_of(sequence.begin() + 5101, sequence.end(), [](uint8_t x) { return x == 0; }));
}

TEST(FilterEnvelopeSequence, NoRampIsLongerThanTheLongestOne) {
  // The smallest step (byte 1 = 1) gives the longest ramp for any start and end.
  FilterEnvelope envelope;
  romset::PresetRecord record;
  for (int start = 0; start < 256; ++start) {
    for (int end = start + 1; end < 256; ++end) {
      record.envelope(static_cast<uint8_t>(start), 1, static_cast<uint8_t>(end), 1, static_cast<uint8_t>(end),
                      1);
      envelope.rebuild(record.bytes.data());
      ASSERT_LE(envelope.size(), 2551 + 10 + 1000) << start << " to " << end;
    }
  }
}

TEST(FilterEnvelopeInstrument, RecordOutsideTheImageGivesOneLevel128) {
  romset::RomSet set = plainRomSet();
  set.setPreset(0, romset::PresetRecord{}.envelope(7, 0, 7, 0, 7, 0).control(0, 0, 0, false));
  // 9247 bytes: record 0 misses its last byte.
  for (const char* name : {"DD18", "DD19", "DD27", "DD28", "Midi_DD2"}) set.remove(name);
  set.resize("DD16", 9247 - 4 * 2048);
  Instrument instrument(set);
  ASSERT_EQ(instrument->engine().roms().romImage.size(), 9247u);
  instrument.midi({{0x90, 60, 90}});
  ASSERT_EQ(instrument->engine().filterEnvelope().size(), 1);
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 128);

  Instrument none;
  none->engine().rebuildFilterEnvelope();
  ASSERT_EQ(none->engine().filterEnvelope().size(), 1);
  EXPECT_EQ(none->engine().filterEnvelope()[0], 128);
}

TEST(FilterEnvelopeInstrument, PresetNumberIsClampedForTheRecord) {
  romset::RomSet set = plainRomSet();
  set.setPreset(0, romset::PresetRecord{}.envelope(11, 0, 11, 0, 11, 1));
  set.setPreset(31, romset::PresetRecord{}.envelope(22, 0, 22, 0, 22, 1));
  Instrument instrument(set);
  instrument->setProgram(-9);
  instrument.midi({{0x90, 60, 90}});
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 11);
  instrument->setProgram(45);
  instrument.midi({{0x90, 61, 90}});
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 22);
}

TEST(FilterEnvelopeInstrument, PresetChangeKeepsTheEnvelopeUntilTheNextNote) {
  romset::RomSet set = plainRomSet();
  set.setPreset(0, romset::PresetRecord{}.envelope(11, 0, 11, 0, 11, 1));
  set.setPreset(1, romset::PresetRecord{}.envelope(22, 0, 22, 0, 22, 1));
  Instrument instrument(set);
  instrument.midi({{0x90, 60, 90}});
  instrument->setParameter(Sarn2VST::presetParameter, 1.0f / 31.0f);
  instrument.midi({{0xC0, 1, 0}});
  instrument.render(10);
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 11);
  instrument.midi({{0x90, 62, 90}});
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 22);
}

TEST(FilterEnvelopeInstrument, ChunkRebuildsButKeepsTheReadPosition) {
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, 0.5));
  set.setPitchTable(std::vector<uint16_t>(romset::kTablePairs, 3000));
  set.setPreset(0, romset::PresetRecord{}.envelope(0, 0, 4, 1, 10, 1));
  set.setPreset(2, romset::PresetRecord{}.envelope(200, 7, 50, 2, 60, 0));
  set.setPreset(3, romset::PresetRecord{}.envelope(7, 0, 7, 0, 7, 0));
  Instrument instrument(set);
  instrument.midi({{0x90, 60, 90}});
  instrument.render(300);
  ASSERT_EQ(instrument->engine().filterEnvelopePos(), 300);

  ASSERT_EQ(instrument.setChunk(makeChunk(2, 0.5f, 0.0f, 1)), 1);
  instrument.render(50);
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 350);
  EXPECT_EQ(instrument->engine().filterEnvelope().size(), 22071);
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 200);

  // Past the end of a shorter sequence the filter holds its last level.
  instrument.render(2000);
  ASSERT_EQ(instrument->engine().filterEnvelopePos(), 2350);
  ASSERT_EQ(instrument.setChunk(makeChunk(0, 0.5f, 0.0f, 1)), 1);
  instrument.render(5);
  EXPECT_EQ(instrument->engine().filterEnvelope().size(), 1014);
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 2350);
}
