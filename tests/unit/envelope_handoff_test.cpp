// setChunk leaves its envelope rebuild to the audio thread's next block.
// Whenever calls do not overlap, the sound must be exactly what rebuilding
// inside setChunk would give.
#include <gtest/gtest.h>

#include <functional>

#include "tests/unit/sound_fixture.h"

using namespace sarn2;

using namespace soundtest;

namespace {

// Every preset its own envelope, bank, codes and oscillator setting.
romset::RomSet variedRomSet() {
  romset::RomSet set = romset::RomSet::blank();
  for (int bank = 0; bank < romset::kBankCount; ++bank) {
    std::vector<double> wave;
    for (int s = 0; s < romset::kSamplesPerBank; ++s) wave.push_back(((s * (bank + 1)) % 512 - 256) / 200.0);
    set.setWaveBank(bank, wave);
  }
  set.setPitchTable(romset::equalTemperedPitchTable());
  for (int p = 0; p < romset::kPresetCount; ++p) {
    const auto b = static_cast<uint8_t>(p);
    set.setPreset(p, romset::PresetRecord{}
                         .envelope(static_cast<uint8_t>(b * 7), static_cast<uint8_t>(b + 1),
                                   static_cast<uint8_t>(255 - b), static_cast<uint8_t>(b * 3),
                                   static_cast<uint8_t>(b * 5 + 20), static_cast<uint8_t>(b % 4))
                         .control(p % 8, p % 4, (p / 4) % 4, p % 3 != 0));
  }
  return set;
}

std::vector<uint8_t> envelopeFor(const romset::RomSet& set, int preset) {
  FilterEnvelope envelope;
  envelope.rebuild(set.preset(preset).bytes.data());
  std::vector<uint8_t> levels;
  for (int32_t i = 0; i < envelope.size(); ++i) levels.push_back(envelope[i]);
  return levels;
}

std::vector<uint8_t> envelopeOf(Sarn2VST& vst) {
  std::vector<uint8_t> levels;
  for (int32_t i = 0; i < vst.engine().filterEnvelope().size(); ++i)
    levels.push_back(vst.engine().filterEnvelope()[i]);
  return levels;
}

// Runs a script on two instruments: one as the plug-in runs it, one that
// rebuilds at once inside every setChunk, as the calls' sequential order
// would. Returns both outputs.
struct Pair {
  explicit Pair(const romset::RomSet& set) : handedOff(set), immediate(set) {}
  void setChunk(const std::vector<uint8_t>& bytes) {
    handedOff.setChunk(bytes);
    immediate.setChunk(bytes);
    immediate->engine().applyPendingEnvelopeRebuild();
  }
  void both(const std::function<void(Instrument&)>& step) {
    step(handedOff);
    step(immediate);
  }
  void render(int32_t frames) {
    const std::vector<float> a = handedOff.render(frames);
    const std::vector<float> b = immediate.render(frames);
    for (size_t n = 0; n < a.size(); ++n) ASSERT_EQ(a[n], b[n]) << "sample " << n;
    EXPECT_EQ(handedOff->engine().filterEnvelopePos(), immediate->engine().filterEnvelopePos());
    EXPECT_EQ(envelopeOf(*handedOff), envelopeOf(*immediate));
  }
  Instrument handedOff;
  Instrument immediate;
};

}  // namespace

TEST(EnvelopeHandoff, ChunkThenPresetParameterBuildsForTheChunksPreset) {
  const romset::RomSet set = variedRomSet();
  Pair pair(set);
  pair.both([](Instrument& i) { i.midi({{0x90, 60, 90}, {0x90, 64, 90}}); });
  pair.render(700);
  pair.setChunk(makeChunk(9, 0.3f, 0.25f, 1));
  pair.both([](Instrument& i) { i->setParameter(Sarn2VST::presetParameter, 20.0f / 31.0f); });
  pair.render(1500);
  EXPECT_EQ(envelopeOf(*pair.handedOff), envelopeFor(set, 9));
  EXPECT_EQ(pair.handedOff->getProgram(), 20);
}

TEST(EnvelopeHandoff, NoteOnAfterChunkRebuildsForTheCurrentPreset) {
  const romset::RomSet set = variedRomSet();
  Pair pair(set);
  pair.setChunk(makeChunk(4, 0.5f, 0.0f, 1));
  pair.both([](Instrument& i) { i.midi({{0xC0, 13, 0}, {0x90, 67, 90}}); });
  pair.render(2000);
  EXPECT_EQ(envelopeOf(*pair.handedOff), envelopeFor(set, 13));
  // The note reset the position; the short envelope is then held at its end.
  EXPECT_EQ(pair.handedOff->engine().filterEnvelopePos(), pair.handedOff->engine().filterEnvelope().size());
  EXPECT_LT(pair.handedOff->engine().filterEnvelope().size(), 2000);
}

TEST(EnvelopeHandoff, LastOfSeveralChunksWins) {
  const romset::RomSet set = variedRomSet();
  Pair pair(set);
  pair.both([](Instrument& i) { i.midi({{0x90, 48, 90}}); });
  pair.render(100);
  pair.setChunk(makeChunk(2, 0.5f, 0.0f, 1));
  pair.setChunk(makeChunk(28, 0.1f, -0.5f, 1));
  pair.render(3000);
  EXPECT_EQ(envelopeOf(*pair.handedOff), envelopeFor(set, 28));
  EXPECT_EQ(pair.handedOff->engine().filterEnvelopePos(), 3100);  // a chunk keeps the read position
}

TEST(EnvelopeHandoff, MixedScriptInVariedBlocksMatchesSequentialOrder) {
  const romset::RomSet set = variedRomSet();
  Pair pair(set);
  const int32_t blocks[] = {1, 64, 17, 512, 3, 128};
  for (int round = 0; round < 24; ++round) {
    const auto note = static_cast<uint8_t>(40 + (round * 7) % 40);
    pair.both([&](Instrument& i) { i.midi({{0x90, note, 90}, {0xE0, 0, static_cast<uint8_t>(round * 5)}}); });
    pair.render(blocks[round % 6]);
    if (round % 3 == 1) pair.setChunk(makeChunk(round, 0.2f, 0.1f * (round % 5), round % 4 != 0));
    if (round % 4 == 2) pair.both([&](Instrument& i) { i->setProgram(round + 3); });
    if (round % 5 == 3) pair.both([&](Instrument& i) { i.midi({{0x80, note, 0}}); });
    pair.render(blocks[(round + 3) % 6] * 7);
  }
}

TEST(EnvelopeHandoff, ChunkWithoutRomsStillBuildsTheFallback) {
  Instrument instrument;
  ASSERT_EQ(instrument.setChunk(makeChunk(3, 0.5f, 0.0f, 1)), 1);
  instrument.render(4);  // silent without ROMs, but the hand-off still runs
  ASSERT_EQ(instrument->engine().filterEnvelope().size(), 1);
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 128);
}
