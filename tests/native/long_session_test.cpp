// Long sessions through the built library: a thousand instances opened and
// closed one after another, and sixteen side by side, each with its own ROM
// set, preset and settings, that must sound exactly as each does alone.
// Leaks show in the sanitizer run; the plain build checks the process does
// not grow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

using namespace testhost;

namespace {

constexpr int kInstanceCount = 16;
constexpr int kBlockCount = 16;
constexpr int32_t kBlockFrames = 256;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Resident memory of this process in bytes, from /proc/self/statm.
long residentBytes() {
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return -1;
  long pages = 0;
  long resident = -1;
  if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(file);
  return resident * sysconf(_SC_PAGESIZE);
}

// Sixteen ROM states: the demo set, and the same with a short and a missing
// file, a retuned pitch table, rewritten preset records, short wave files;
// the last instance has no ROM files at all.
romset::RomSet romsFor(int i) {
  romset::RomSet set = romset::demoRomSet();
  switch (i % 5) {
    case 1:
      set.resize("DD18", 1000);  // banks 4-7 shrink to under two
      set.remove("DD28");
      break;
    case 2:
      set.setPitchTable(romset::equalTemperedPitchTable(30000.0 + 1500.0 * i));
      break;
    case 3:
      for (int p = 0; p < romset::kPresetCount; ++p) {
        romset::PresetRecord record = set.preset(p);
        record.control(i % 8, (p + i) % 4, (p + 2 * i) % 4, (p + i) % 2 == 0);
        record.envelope(static_cast<uint8_t>(10 * i), static_cast<uint8_t>(i), 200,
                        static_cast<uint8_t>(i + 1), static_cast<uint8_t>(40 + 5 * i), 1);
        set.setPreset(p, record);
      }
      break;
    case 4:
      set.resize("DD19", 300 + 100 * static_cast<size_t>(i));
      break;
    default:
      break;
  }
  if (i == kInstanceCount - 1) set = romset::RomSet{};
  return set;
}

std::unique_ptr<Instance> openWithRoms(const PluginLibrary& library, int i) {
  PlatformRoms roms(romsFor(i));  // read at construction; removed again once this returns
  auto instance = std::make_unique<Instance>(library);
  return instance->effect() != nullptr ? std::move(instance) : nullptr;
}

// Instance i's settings, set once after opening.
void configure(Instance& instance, int i) {
  instance.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, i % 3 == 0 ? 48000.0f : 44100.0f);
  instance.dispatch(EffectOpcode::processingOnOff, 0, 1);
  instance.setParameter(0, static_cast<float>((5 * i) % 32) / 31.0f);
  instance.setParameter(1, static_cast<float>(i) / 20.0f);
  instance.setParameter(2, i % 4 == 3 ? 0.0f : 1.0f);
}

// Instance i's MIDI before block b: a chord, a bend, a program change, the
// key-ups, and a last note.
std::vector<std::array<uint8_t, 3>> midiFor(int i, int b) {
  const auto root = static_cast<uint8_t>(36 + 2 * i);
  const auto channel = static_cast<uint8_t>(i % 16);
  switch (b) {
    case 0:
      return {{static_cast<uint8_t>(0x90 | channel), root, 100},
              {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(root + 4), 90},
              {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(root + 7), 80}};
    case 4:
      return {
          {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(i * 8), static_cast<uint8_t>(64 - i)}};
    case 7:
      return {{static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(3 * i + 1), 0}};
    case 9:
      return {{static_cast<uint8_t>(0x80 | channel), root, 0},
              {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(root + 4), 0},
              {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(root + 7), 0}};
    case 12:
      return {{static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(root + 12), 127}};
    default:
      return {};
  }
}

void runBlock(Instance& instance, int i, int b, std::vector<float>& sound) {
  const auto midi = midiFor(i, b);
  if (!midi.empty()) {
    ASSERT_EQ(instance.sendMidi(midi), 1);
  }
  if (b == 10) {
    // A chunk round trip in the middle of the session.
    const std::vector<uint8_t> chunk = instance.chunk();
    ASSERT_EQ(instance.setChunk(chunk), 1);
  }
  const std::vector<float> block = instance.render(kBlockFrames);
  sound.insert(sound.end(), block.begin(), block.end());
}

double energy(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return sum;
}

}  // namespace

TEST(LongSession, AThousandOpenCloseCyclesSoundAlikeAndLeaveNothingBehind) {
  PluginLibrary library;
  ASSERT_TRUE(library.loaded()) << pluginPath();
  PlatformRoms roms(romset::demoRomSet());
  std::vector<float> first;
  long residentAfterWarmUp = 0;
  for (int cycle = 0; cycle < 1000; ++cycle) {
    recorder().reset();
    Instance instance(library);
    ASSERT_NE(instance.effect(), nullptr) << "cycle " << cycle;
    instance.dispatch(EffectOpcode::open);
    instance.dispatch(EffectOpcode::processingOnOff, 0, 1);
    ASSERT_EQ(instance.sendMidi({{0x90, static_cast<uint8_t>(60), 100}, {0xE0, 0, 0x50}}), 1);
    const std::vector<float> sound = instance.render(64);
    // Every fresh instance starts from the same state, whatever came before.
    if (cycle == 0) {
      first = sound;
      ASSERT_GT(energy(first), 0.0);
    } else {
      ASSERT_EQ(sound, first) << "cycle " << cycle;
    }
    ASSERT_EQ(instance.chunk().size(), 20u);
    ASSERT_EQ(instance.dispatch(EffectOpcode::processingOnOff, 0, 0), 0);
    ASSERT_EQ(instance.close(), 1);
    if (cycle == 99) residentAfterWarmUp = residentBytes();
  }
  if (!kSanitized && residentAfterWarmUp > 0) {
    // 900 more instances, each with more than 256 KiB of its own: a leak of
    // any of it would show as hundreds of megabytes.
    EXPECT_LT(residentBytes() - residentAfterWarmUp, 32L * 1024 * 1024);
  }
}

TEST(LongSession, SixteenInstancesSideBySideSoundAsEachDoesAlone) {
  PluginLibrary library;
  ASSERT_TRUE(library.loaded()) << pluginPath();

  std::vector<std::unique_ptr<Instance>> instances;
  for (int i = 0; i < kInstanceCount; ++i) {
    instances.push_back(openWithRoms(library, i));
    ASSERT_NE(instances.back(), nullptr) << "instance " << i;
    configure(*instances.back(), i);
  }
  std::vector<std::vector<float>> together(kInstanceCount);
  for (int b = 0; b < kBlockCount; ++b) {
    // The order in which the host serves its instances changes every block.
    for (int k = 0; k < kInstanceCount; ++k) {
      const int i = b % 2 == 0 ? k : kInstanceCount - 1 - k;
      runBlock(*instances[static_cast<size_t>(i)], i, b, together[static_cast<size_t>(i)]);
    }
  }
  // Closing some leaves the others alone: the rest play on in step with a
  // solo run (checked below through the sounds' extra blocks).
  for (int i = 0; i < kInstanceCount; i += 2) instances[static_cast<size_t>(i)].reset();
  for (int i = 1; i < kInstanceCount; i += 2)
    runBlock(*instances[static_cast<size_t>(i)], i, kBlockCount, together[static_cast<size_t>(i)]);
  instances.clear();

  for (int i = 0; i < kInstanceCount; ++i) {
    std::unique_ptr<Instance> solo = openWithRoms(library, i);
    ASSERT_NE(solo, nullptr);
    configure(*solo, i);
    std::vector<float> alone;
    const int blocks = i % 2 == 1 ? kBlockCount + 1 : kBlockCount;
    for (int b = 0; b < blocks; ++b) runBlock(*solo, i, b, alone);
    ASSERT_EQ(alone.size(), together[static_cast<size_t>(i)].size());
    EXPECT_TRUE(alone == together[static_cast<size_t>(i)]) << "instance " << i << " heard its neighbours";
    if (i == kInstanceCount - 1) {
      EXPECT_EQ(energy(alone), 0.0) << "no ROM files: silence";
    } else {
      EXPECT_GT(energy(alone), 0.0) << "instance " << i << " is silent; the comparison would prove little";
    }
  }
}
