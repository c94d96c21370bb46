// The plug-in's run() never allocates: not for notes, port moves, the
// rebuild a restored state hands over, or damaged sequences. The
// allocations of the test thread are counted while a run is under way.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>

#include <cstring>

#include "tests/lv2/lv2_host.h"
#include "tests/support/allocation_count.h"
#include "tests/support/temp_rom_dir.h"

namespace {

using namespace sarn2lv2;

TEST(Lv2Allocation, RunNeverAllocates) {
  testhost::PlatformRoms roms(romset::demoRomSet());
  lv2host::World world;
  lv2host::UridMap uris;
  lv2host::Instance plugin(world, uris, 44100.0);
  ASSERT_TRUE(plugin.loaded());
  std::vector<float> output(512);
  lilv_instance_connect_port(plugin.get(), audioOutPort, output.data());
  std::vector<uint8_t> chunk(20, 0);
  chunk[0] = 25;
  long total = 0;
  for (int c = 0; c < 40; ++c) {
    if (c % 3 == 0) plugin.midi().addMidi(c % 512, {0x90, uint8_t(40 + c), 100});
    if (c % 5 == 0) plugin.midi().addMidi(300, {0x80, uint8_t(40 + c - 15), 0});
    if (c == 7) plugin.midi().addMidi(5, {0xC0, 9});
    if (c == 9) plugin.control(presetPort) = 31.0f;
    if (c == 11) plugin.control(filterPort) = 0.0f;
    if (c == 13) plugin.control(releasePort) = 0.9f;
    if (c == 17) {
      ASSERT_EQ(plugin.restore(chunk, kChunkTypeUri), LV2_STATE_SUCCESS);
    }
    if (c == 19) plugin.midi().get()->atom.size = 16000;  // past the events, inside the buffer
    testhost::AllocationCount count;
    lilv_instance_run(plugin.get(), 512);
    total += count.stop();
    plugin.midi().clear();
  }
  EXPECT_EQ(total, 0);
}

}  // namespace
