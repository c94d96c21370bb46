// The operations a host calls on or beside its audio thread never allocate.
// This program's global allocation functions count, while a test asks them
// to, every allocation its own thread makes.
#include <gtest/gtest.h>

#include <new>

#include "tests/support/allocation_count.h"
#include "tests/unit/sound_fixture.h"

using namespace sarn2;

using testhost::AllocationCount;

using namespace soundtest;

TEST(RealtimeAllocation, CountingSeesAllocations) {
  AllocationCount count;
  // A direct call: unlike a new-expression it may not be optimised away.
  void* probe = ::operator new(64);
  ::operator delete(probe);
  EXPECT_EQ(count.stop(), 1);
}

TEST(RealtimeAllocation, NotesChunksAndBlocksNeverAllocate) {
  romset::RomSet set = plainRomSet();
  set.setWaveBank(0, std::vector<double>(romset::kSamplesPerBank, 0.7));
  set.setPitchTable(romset::equalTemperedPitchTable());
  // Preset 1 gives the longest envelope there is; preset 2 a short one.
  set.setPreset(1, romset::PresetRecord{}.envelope(0, 1, 255, 255, 0, 255).control(0, 2, 3, true));
  set.setPreset(2, romset::PresetRecord{}.envelope(7, 0, 7, 0, 7, 0).control(0, 1, 1, true));
  Instrument instrument(set);

  EventList notes({{0x90, 60, 90}, {0xC0, 1, 0}, {0x90, 64, 90}, {0xE0, 0, 0x50}, {0x80, 60, 0}});
  EventList more({{0xC0, 2, 0},
                  {0x90, 67, 90},
                  {0x90, 72, 0},
                  {0xB0, 64, 127},
                  {0x80, 67, 0},
                  {0xB0, 123, 0},
                  {0xB0, 64, 0},
                  {0xB0, 121, 0},
                  {0x90, 60, 90},
                  {0xB0, 120, 0}});
  std::vector<uint8_t> chunkLongest = makeChunk(1, 0.2f, 0.1f, 1);
  std::vector<uint8_t> chunkShort = makeChunk(2, 0.7f, -0.3f, 1);
  std::vector<float> buffer(4096);
  float* outputs[1] = {buffer.data()};

  AllocationCount count;
  for (int round = 0; round < 3; ++round) {
    instrument->processEvents(notes.block());
    instrument->renderBlock(nullptr, outputs, 4096);
    instrument->setChunk(chunkLongest.data(), 20, false);
    instrument->renderBlock(nullptr, outputs, 1000);
    instrument->setChunk(chunkShort.data(), 20, true);
    instrument->processEvents(more.block());
    instrument->setParameter(Sarn2VST::presetParameter, 1.0f / 31.0f);
    instrument->setParameter(Sarn2VST::filterParameter, round % 2 == 0 ? 0.0f : 1.0f);
    instrument->renderBlock(nullptr, outputs, 333);
    void* data = nullptr;
    instrument->getChunk(&data, false);
  }
  EXPECT_EQ(count.stop(), 0);
}
