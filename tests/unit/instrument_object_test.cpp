// The instrument object itself: its state at creation, preset selection and
// the state chunk, seen from inside.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tests/unit/fake_host.h"
#include "tools/romset/romset.h"

using namespace frame;

using namespace sarn2;

namespace {

std::vector<uint8_t> saveChunk(Sarn2VST& synth) {
  void* data = nullptr;
  const int32_t size = synth.getChunk(&data, false);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

std::string displayOf(Sarn2VST& synth, int32_t index) {
  char text[64] = {};
  synth.getParameterDisplay(index, text);
  return text;
}

// A ROM set whose presets differ only in the second-oscillator switch: on
// for preset 31 alone.
romset::RomSet secondOscillatorOnlyIn31() {
  romset::RomSet set = romset::RomSet::blank();
  for (int p = 0; p < 32; ++p) {
    romset::PresetRecord record;
    record.control(0, 0, 0, p == 31);
    set.setPreset(p, record);
  }
  return set;
}

}  // namespace

TEST(InstrumentObject, StateAtCreation) {
  testhost::TempDir roms;
  Sarn2VST synth(nullptr, roms.path());
  EXPECT_EQ(synth.engine().pitchBend(), 0.0f);
  EXPECT_EQ(synth.engine().renderRate(), 44100.0);
  EXPECT_EQ(synth.engine().release(), 0.5f);
  EXPECT_EQ(synth.engine().preset(), 0);
  EXPECT_TRUE(synth.engine().filterOn());
  EXPECT_EQ(synth.engine().chunkFields().reserved, 0.0f);
  EXPECT_EQ(synth.engine().filter().state1, 0.0);
  EXPECT_EQ(synth.engine().filter().state2, 0.0);
  EXPECT_EQ(synth.engine().filterEnvelopePos(), 0);
  EXPECT_TRUE(synth.engine().filterEnvelope().empty());
  for (uint32_t phase : synth.engine().phaseAccumulators()) EXPECT_EQ(phase, 0u);
  for (const Voice& voice : synth.engine().voices()) {
    EXPECT_EQ(voice.note, 0);
    EXPECT_EQ(voice.state, VoiceState::free);
    EXPECT_EQ(voice.level, 1.0);
  }
  EXPECT_EQ(synth.getSampleRate(), 44100.0f);
  EXPECT_EQ(synth.getBlockSize(), 1024);
  const EffectRecord* record = synth.getEffectRecord();
  EXPECT_EQ(record->object, static_cast<AudioEffect*>(&synth));
  EXPECT_EQ(record->programCount, 0);
  EXPECT_EQ(record->parameterCount, 3);
  EXPECT_EQ(record->inputCount, 0);
  EXPECT_EQ(record->outputCount, 1);
  EXPECT_EQ(record->flags, 0x130);
  EXPECT_EQ(synth.getEditor(), nullptr);
}

// A program number beyond the presets is kept as given and reported as
// such; the sound uses the last preset, and a chunk load clamps it.
TEST(InstrumentObject, ProgramBeyondThePresetsIsStoredUnclamped) {
  testhost::TempDir roms;
  ASSERT_TRUE(secondOscillatorOnlyIn31().write(roms.path()));
  Sarn2VST synth(nullptr, roms.path());
  ASSERT_EQ(synth.engine().secondOscillatorOn(), 0);

  synth.setProgram(40);
  EXPECT_EQ(synth.getProgram(), 40);
  EXPECT_EQ(displayOf(synth, 0), "41");
  EXPECT_EQ(synth.getParameter(0), static_cast<float>(40 / 31.0));
  EXPECT_NEAR(synth.getParameter(0), 1.2903f, 1e-4f);
  EXPECT_EQ(synth.engine().secondOscillatorOn(), 1);  // preset 31's record

  const std::vector<uint8_t> saved = saveChunk(synth);
  EXPECT_EQ(saved[0], 40);
  EXPECT_EQ(synth.setChunk(const_cast<uint8_t*>(saved.data()), 20, false), 1);
  EXPECT_EQ(synth.getProgram(), 31);

  synth.setProgram(-7);
  EXPECT_EQ(synth.getProgram(), -7);
  EXPECT_EQ(displayOf(synth, 0), "-6");
  EXPECT_EQ(synth.engine().secondOscillatorOn(), 0);  // preset 0's record
}

// Every way of selecting a preset applies it at once.
TEST(InstrumentObject, EverySelectionAppliesThePreset) {
  testhost::TempDir roms;
  ASSERT_TRUE(secondOscillatorOnlyIn31().write(roms.path()));
  Sarn2VST synth(nullptr, roms.path());
  synth.setParameter(0, 1.0f);
  EXPECT_EQ(synth.engine().secondOscillatorOn(), 1);
  synth.setParameter(0, 0.0f);
  EXPECT_EQ(synth.engine().secondOscillatorOn(), 0);
  const uint8_t chunk[20] = {99, 0, 0, 0, 0, 0, 0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(synth.setChunk(const_cast<uint8_t*>(chunk), 20, true), 1);
  EXPECT_EQ(synth.getProgram(), 31);
  EXPECT_EQ(synth.engine().secondOscillatorOn(), 1);
}

// A chunk load keeps sounding notes, phases and filter states as they are.
TEST(InstrumentObject, ChunkLoadLeavesVoicesAlone) {
  testhost::TempDir roms;
  fakehost::reset();
  ASSERT_TRUE(romset::demoRomSet().write(roms.path()));
  Sarn2VST synth(&fakehost::callback, roms.path());
  Engine& engine = synth.engine();
  engine.handleMidi(0x90, 60, 100);
  engine.handleMidi(0x90, 64, 100);
  engine.handleMidi(0x80, 60, 0);
  std::vector<float> output(300);
  float* outputs[1] = {output.data()};
  synth.renderBlock(nullptr, outputs, 300);
  const auto voices = engine.voices();
  const auto phases = engine.phaseAccumulators();
  const ResonantFilter filter = engine.filter();
  ASSERT_EQ(engine.filterEnvelopePos(), 300);
  ASSERT_NE(filter.state1, 0.0);
  const uint8_t chunk[20] = {3, 0, 0, 0, 0, 0, 0x80, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0, 0, 0, 0};
  ASSERT_EQ(synth.setChunk(const_cast<uint8_t*>(chunk), 20, false), 1);
  for (size_t v = 0; v < voices.size(); ++v) {
    EXPECT_EQ(engine.voices()[v].note, voices[v].note) << v;
    EXPECT_EQ(engine.voices()[v].state, voices[v].state) << v;
    EXPECT_EQ(engine.voices()[v].level, voices[v].level) << v;
  }
  EXPECT_EQ(engine.voices()[0].state, VoiceState::released);
  EXPECT_EQ(engine.phaseAccumulators(), phases);
  EXPECT_EQ(engine.filter().state1, filter.state1);
  EXPECT_EQ(engine.filter().state2, filter.state2);
  EXPECT_EQ(engine.filterEnvelopePos(), 300);
  EXPECT_EQ(synth.engine().release(), 0.25f);
  EXPECT_EQ(synth.engine().pitchBend(), 0.5f);
  EXPECT_FALSE(synth.engine().filterOn());
  ASSERT_EQ(fakehost::host().calls.size(), 1u);
  EXPECT_EQ(fakehost::host().calls[0].opcode, 42);
}
