// The engine driven as a front end without the plug-in framework drives it:
// raw MIDI bytes in, blocks out at a rate of its choosing, settings restored.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "instrument/engine/engine.h"
#include "instrument/engine/rom_loader.h"
#include "tests/unit/sound_fixture.h"

using namespace sarn2;
using namespace soundtest;

namespace {

std::vector<float> renderEngine(Engine& engine, int32_t frames, double rate) {
  std::vector<float> output(static_cast<size_t>(frames));
  engine.renderBlock(output.data(), frames, rate);
  return output;
}

}  // namespace

// The same MIDI bytes and rate give the plug-in's bits, block for block.
TEST(Engine, RawMidiRendersThePluginsBits) {
  const romset::RomSet set = romset::demoRomSet();
  Instrument plugin(set);
  testhost::TempDir dir;
  ASSERT_TRUE(set.write(dir.path()));
  Engine engine(loadRomTables(dir.path()));
  plugin->setSampleRate(48000.0f);

  const Midi script[] = {{0xC3, 5, 0}, {0x91, 60, 100}, {0xE0, 0x00, 0x50}, {0x90, 67, 80}, {0x85, 60, 0}};
  bool sounded = false;
  for (const Midi& m : script) {
    plugin.midi({m});
    engine.handleMidi(m[0], m[1], m[2]);
    const std::vector<float> expected = plugin.render(700);
    const std::vector<float> got = renderEngine(engine, 700, 48000.0);
    ASSERT_EQ(std::memcmp(expected.data(), got.data(), expected.size() * sizeof(float)), 0);
    for (float x : got) sounded = sounded || x != 0.0f;
  }
  EXPECT_TRUE(sounded);
  EXPECT_EQ(engine.preset(), 5);
  EXPECT_EQ(engine.renderRate(), 48000.0);
}

TEST(Engine, RatesThatAreNoRateMean44100) {
  Engine engine(RomTables{});
  for (double rate : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN()}) {
    engine.renderBlock(nullptr, 0, 96000.0);
    engine.renderBlock(nullptr, 0, rate);
    EXPECT_EQ(engine.renderRate(), Engine::kDefaultRate) << rate;
  }
  // Without tables every block is silence, whatever was in the buffer.
  std::vector<float> output(64, 0.5f);
  engine.renderBlock(output.data(), 64, 44100.0);
  for (float x : output) EXPECT_EQ(x, 0.0f);
}

// A restore clamps the preset, carries the reserved field and leaves the
// envelope to the next block.
TEST(Engine, ChunkFieldsRoundTripAndTheRebuildWaitsForTheNextBlock) {
  testhost::TempDir dir;
  ASSERT_TRUE(romset::demoRomSet().write(dir.path()));
  Engine engine(dir.path());
  engine.restoreChunkFields({99, 0.25f, -7.5f, 0.125f, false});
  const Engine::ChunkFields fields = engine.chunkFields();
  EXPECT_EQ(fields.preset, 31);
  EXPECT_EQ(fields.release, 0.25f);
  EXPECT_EQ(fields.reserved, -7.5f);
  EXPECT_EQ(fields.pitchBend, 0.125f);
  EXPECT_FALSE(fields.filterOn);
  EXPECT_TRUE(engine.filterEnvelope().empty());
  engine.renderBlock(nullptr, 0, 44100.0);
  FilterEnvelope expected;
  expected.rebuild(wholePresetRecord(engine.roms(), 31));
  EXPECT_EQ(engine.filterEnvelope().size(), expected.size());
}
