// The plug-in's run() never allocates: not for notes, port moves, the
// rebuild a restored state hands over, or damaged sequences. This
// program's allocation functions count what the test thread allocates
// while a run is under way.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "tests/lv2/lv2_host.h"
#include "tests/support/temp_rom_dir.h"

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;

void* allocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

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
    allocations = 0;
    counting = true;
    lilv_instance_run(plugin.get(), 512);
    counting = false;
    total += allocations;
    plugin.midi().clear();
  }
  EXPECT_EQ(total, 0);
}

}  // namespace
