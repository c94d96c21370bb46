// MIDI input: voice allocation, note-off rules, pitch bend, program change
// and the handling of odd event blocks.
#include <gtest/gtest.h>

#include "tests/unit/sound_fixture.h"

using namespace sarn2;

using namespace soundtest;

namespace {

std::vector<VoiceState> states(Sarn2VST& vst) {
  std::vector<VoiceState> result;
  for (const Voice& voice : vst.engine().voices()) result.push_back(voice.state);
  return result;
}

constexpr VoiceState F = VoiceState::free;
constexpr VoiceState H = VoiceState::held;
constexpr VoiceState R = VoiceState::released;

}  // namespace

TEST(MidiVoices, NoteOnTakesTheFirstFreeSlotAndVelocityZeroReleases) {
  Instrument instrument(plainRomSet());
  instrument.midi({{0x90, 60, 100}, {0x90, 62, 1}});
  EXPECT_EQ(instrument->engine().voices()[0].note, 60);
  EXPECT_EQ(instrument->engine().voices()[1].note, 62);
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, F, F, F, F, F, F}));

  // Velocity 0 is a note-off: it releases note 60 and claims nothing.
  instrument.midi({{0x90, 60, 0}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, H, F, F, F, F, F, F}));
  EXPECT_EQ(instrument->engine().voices()[0].level, 1.0);  // rendering lowers it, not the note-off

  // A note-off with a velocity releases in the same way; the velocity is not read.
  instrument.midi({{0x80, 62, 100}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, F, F, F, F, F, F}));

  // A note-off for a note nobody holds, or for an already released note, changes nothing.
  instrument.midi({{0x80, 61, 0}, {0x80, 60, 0}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, F, F, F, F, F, F}));
}

TEST(MidiVoices, NinthNoteStealsSlotZero) {
  Instrument instrument(plainRomSet());
  for (uint8_t n = 0; n < 8; ++n) instrument.midi({{0x90, static_cast<uint8_t>(60 + n), 90}});
  instrument.midi({{0x90, 72, 90}});
  EXPECT_EQ(instrument->engine().voices()[0].note, 72);
  EXPECT_EQ(instrument->engine().voices()[0].state, H);
  // The first note stopped at once: its note-off finds nothing to release.
  instrument.midi({{0x80, 60, 0}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, H, H, H, H, H, H}));
}

TEST(VoiceSlots, ReleasedSlotsAreReusedInSlotOrder) {
  VoiceSlots slots;
  for (int32_t n = 0; n < 8; ++n) EXPECT_EQ(slots.noteOn(60 + n), n);
  slots.noteOff(65);
  slots.voices[5].level = 0.25;  // part way through its release
  EXPECT_EQ(slots.noteOn(80), 5);
  EXPECT_EQ(slots.voices[5].note, 80);
  EXPECT_EQ(slots.voices[5].state, H);
  EXPECT_EQ(slots.voices[5].level, 1.0);

  // Slots 2 and 6 released, none free: the first of them is taken.
  slots.noteOff(62);
  slots.noteOff(66);
  EXPECT_EQ(slots.noteOn(81), 2);
  EXPECT_EQ(slots.voices[6].state, R);

  // A free slot wins over a released one, even a later free slot.
  slots.voices[7].state = F;
  EXPECT_EQ(slots.noteOn(82), 7);
  EXPECT_EQ(slots.voices[6].state, R);
  // All held: slot 0 is stolen.
  slots.voices[6].state = H;
  EXPECT_EQ(slots.noteOn(83), 0);
  EXPECT_EQ(slots.voices[0].note, 83);
}

TEST(MidiVoices, TwoNoteOnsOfOneNoteShareOneNoteOff) {
  Instrument instrument(plainRomSet());
  instrument.midi({{0x90, 64, 90}, {0x90, 64, 90}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, F, F, F, F, F, F}));
  instrument.midi({{0x80, 64, 0}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, F, F, F, F, F, F}));
}

TEST(MidiVoices, ChannelsAreIgnoredAndOtherMessagesHaveNoEffect) {
  Instrument instrument(plainRomSet());
  instrument.midi({{0x99, 60, 90}, {0x9F, 61, 90}});
  EXPECT_EQ(instrument->engine().voices()[0].note, 60);
  EXPECT_EQ(instrument->engine().voices()[1].note, 61);
  EXPECT_EQ(instrument->engine().voices()[0].state, H);

  // Other controllers, aftertouch and system messages are skipped.
  instrument.midi({{0xB0, 1, 127},
                   {0xB0, 7, 0},
                   {0xB0, 122, 0},
                   {0xB0, 124, 0},
                   {0xA0, 60, 50},
                   {0xD0, 60, 0},
                   {0xF0, 60, 0},
                   {0xF0, 120, 0},
                   {0xB0, 192, 127}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, F, F, F, F, F, F}));
  instrument.midi({{0x8A, 60, 0}});
  EXPECT_EQ(instrument->engine().voices()[0].state, R);
}

TEST(MidiVoices, DataBytesAreSigned) {
  Instrument instrument(plainRomSet());
  instrument.midi({{0x90, 60, 90}});
  // Velocity byte 200 reads as negative: a note-off.
  instrument.midi({{0x90, 60, 200}});
  EXPECT_EQ(instrument->engine().voices()[0].state, R);
  EXPECT_EQ(instrument->engine().voices()[1].state, F);
  // A note byte of 200 is stored as -56; rendering copes with it.
  instrument.midi({{0x90, 200, 90}});
  EXPECT_EQ(instrument->engine().voices()[1].note, -56);
  const std::vector<float> output = instrument.render(64);
  for (float x : output) EXPECT_TRUE(x >= -1.0f && x <= 1.0f);
}

TEST(MidiVoices, NoteOnRestartsTheEnvelopeForTheStoredPreset) {
  romset::RomSet set = plainRomSet();
  set.setPreset(3, romset::PresetRecord{}.envelope(7, 0, 7, 0, 7, 1).control(0, 0, 0, false));
  Instrument instrument(set);
  instrument.midi({{0x90, 60, 90}});
  instrument.render(500);
  ASSERT_EQ(instrument->engine().filterEnvelopePos(), 500);
  instrument->setProgram(3);
  instrument.midi({{0x90, 61, 90}});
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 0);
  ASSERT_EQ(instrument->engine().filterEnvelope().size(), 1001);
  EXPECT_EQ(instrument->engine().filterEnvelope()[0], 7);
  // A note-off leaves envelope and position alone.
  instrument.render(10);
  instrument.midi({{0x80, 60, 0}});
  EXPECT_EQ(instrument->engine().filterEnvelopePos(), 10);
}

// A note-off under the pedal marks its voices sustained (still held, level
// 1.0); pedal up releases exactly those. Rules are applied in event order.
TEST(MidiSustainPedal, SustainsKeyUpsUntilPedalUp) {
  Instrument instrument(plainRomSet());
  const auto sustained = [&](int slot) { return instrument->engine().voices()[slot].sustained; };
  instrument.midi({{0x90, 60, 90}, {0x90, 62, 90}, {0xB3, 64, 64}, {0x80, 60, 0}, {0x80, 60, 0}});
  EXPECT_TRUE(instrument->engine().sustainPedalDown());
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, F, F, F, F, F, F}));
  EXPECT_TRUE(sustained(0));
  EXPECT_FALSE(sustained(1));  // its key is still down
  instrument.render(100);
  EXPECT_EQ(instrument->engine().voices()[0].level, 1.0);

  // A re-struck note takes a new slot; the sustained one keeps sounding.
  instrument.midi({{0x90, 60, 90}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, H, F, F, F, F, F}));
  instrument.midi({{0xB0, 64, 63}});
  EXPECT_FALSE(instrument->engine().sustainPedalDown());
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, H, H, F, F, F, F, F}));
  EXPECT_FALSE(sustained(0));
  instrument.render(1);
  EXPECT_LT(instrument->engine().voices()[0].level, 1.0);  // fades from the next sample

  // Downs and ups inside one block act in order; a value byte of 200 reads
  // as negative (pedal up), 127 as down.
  instrument.midi({{0xB0, 64, 127},
                   {0x80, 62, 0},
                   {0xB0, 64, 200},
                   {0xB0, 64, 127},
                   {0x80, 60, 0},
                   {0x90, 65, 90},
                   {0xB0, 64, 127}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, H, H, F, F, F, F}));
  EXPECT_TRUE(sustained(2));
  EXPECT_FALSE(sustained(3));
}

// Sustained voices count as held: a note-on takes a free or released slot
// first and steals slot 0 only when all eight are held or sustained.
TEST(MidiSustainPedal, SustainedVoicesAreHeldForAllocation) {
  Instrument instrument(plainRomSet());
  instrument.midi({{0xB0, 64, 127}});
  for (uint8_t n = 0; n < 8; ++n)
    instrument.midi({{0x90, static_cast<uint8_t>(60 + n), 90}, {0x80, static_cast<uint8_t>(60 + n), 0}});
  instrument.midi({{0x90, 72, 90}});
  EXPECT_EQ(instrument->engine().voices()[0].note, 72);
  EXPECT_FALSE(instrument->engine().voices()[0].sustained);
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, H, H, H, H, H, H}));
}

// 123 is a note-off for every held voice, 120 silences at once, 121 centres
// the bend and lifts the pedal.
TEST(MidiPanicMessages, AllNotesOffAllSoundOffAndReset) {
  Instrument instrument(plainRomSet());
  instrument.midi({{0x90, 60, 90}, {0x90, 61, 90}, {0xB0, 123, 0}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, F, F, F, F, F, F}));

  instrument.midi({{0x90, 62, 90}, {0x90, 63, 90}, {0xB0, 64, 100}, {0xBF, 123, 0}});
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, H, H, F, F, F, F}));
  EXPECT_FALSE(instrument->engine().voices()[0].sustained);  // already fading
  EXPECT_TRUE(instrument->engine().voices()[2].sustained);
  EXPECT_TRUE(instrument->engine().voices()[3].sustained);

  instrument.midi({{0xE0, 0x00, 0x60}, {0xB5, 121, 0}});
  EXPECT_EQ(instrument->engine().pitchBend(), 0.0f);
  EXPECT_FALSE(instrument->engine().sustainPedalDown());
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{R, R, R, R, F, F, F, F}));

  instrument.midi({{0xB0, 64, 127}, {0x90, 64, 90}, {0x80, 64, 0}, {0xB0, 120, 0}});
  EXPECT_TRUE(instrument->engine().sustainPedalDown());  // all sound off leaves the pedal
  for (const Voice& voice : instrument->engine().voices()) {
    EXPECT_EQ(voice.state, F);
    EXPECT_EQ(voice.level, 0.0);
    EXPECT_FALSE(voice.sustained);
  }
}

// The pedal is live input, not state: the chunk neither holds nor changes it.
TEST(MidiSustainPedal, NotPartOfTheChunk) {
  Instrument instrument(plainRomSet());
  const std::vector<uint8_t> before = instrument.chunk();
  instrument.midi({{0x90, 60, 90}, {0xB0, 64, 127}, {0x80, 60, 0}});
  EXPECT_EQ(instrument.chunk(), before);
  EXPECT_EQ(instrument.setChunk(makeChunk(3, 0.2f, 0.0f, 1)), 1);
  instrument.render(8);
  EXPECT_TRUE(instrument->engine().sustainPedalDown());
  EXPECT_TRUE(instrument->engine().voices()[0].sustained);
  EXPECT_EQ(instrument->engine().voices()[0].state, H);
}

TEST(MidiPitchBend, FourteenBitValueScaledToPlusMinusOne) {
  Instrument instrument(plainRomSet());
  const auto bend = [&](uint8_t lsb, uint8_t msb) {
    instrument.midi({{0xE0, lsb, msb}});
    return instrument->engine().pitchBend();
  };
  EXPECT_EQ(bend(0x00, 0x40), 0.0f);
  EXPECT_EQ(bend(0x00, 0x00), -1.0f);
  EXPECT_EQ(bend(0x7F, 0x7F), 0.9998779296875f);
  EXPECT_EQ(bend(0x00, 0x60), 0.5f);
  EXPECT_EQ(bend(0x01, 0x40), 0.0001220703125f);
  instrument.midi({{0xE5, 0x00, 0x20}});  // any channel
  EXPECT_EQ(instrument->engine().pitchBend(), -0.5f);
}

TEST(MidiProgramChange, SelectsPresetModulo32) {
  romset::RomSet set = plainRomSet();
  set.setPreset(5, romset::PresetRecord{}.control(0, 0, 0, true));
  Instrument instrument(set);
  const auto program = [&](uint8_t number) {
    instrument.midi({{0xC3, number, 0}});
    return instrument->getProgram();
  };
  EXPECT_EQ(program(32), 0);
  EXPECT_EQ(program(63), 31);
  EXPECT_EQ(program(127), 31);
  EXPECT_EQ(instrument->engine().secondOscillatorOn(), 0);
  EXPECT_EQ(program(37), 5);
  EXPECT_EQ(instrument->engine().secondOscillatorOn(), 1);  // applied, not only stored
  // A byte of 129 reads as -127; the truncating remainder keeps the sign.
  EXPECT_EQ(program(129), -31);
}

TEST(MidiEventBlocks, OddBlocksAreSkippedSafelyAndAnswerOne) {
  Instrument instrument(plainRomSet());
  EXPECT_EQ(instrument->processEvents(nullptr), 1);

  EventList empty({{0x90, 60, 90}});
  empty.block()->eventCount = 0;
  EXPECT_EQ(instrument->processEvents(empty.block()), 1);
  empty.block()->eventCount = -5;
  EXPECT_EQ(instrument->processEvents(empty.block()), 1);
  EXPECT_EQ(instrument->engine().voices()[0].state, F);

  // A null event pointer is skipped; the events around it still act.
  EventList withNull({{0x90, 60, 90}, {0x90, 61, 90}, {0x90, 62, 90}});
  withNull.setPointer(1, nullptr);
  EXPECT_EQ(instrument->processEvents(withNull.block()), 1);
  EXPECT_EQ(states(*instrument), (std::vector<VoiceState>{H, H, F, F, F, F, F, F}));
  EXPECT_EQ(instrument->engine().voices()[1].note, 62);

  // An event that is not a MIDI event is skipped whatever its bytes say.
  EventList other({{0x90, 70, 90}});
  other.event(0).type = 6;
  EXPECT_EQ(instrument->processEvents(other.block()), 1);
  EXPECT_EQ(instrument->engine().voices()[2].state, F);
}
