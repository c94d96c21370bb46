// Where an instance created through the entry point finds its ROM set, and
// what it plays without one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

using namespace testhost;

namespace {

// Note 69 held for a tenth of a second; true when any sample is not 0.
bool soundsANote(Instance& instance) {
  instance.sendMidi({{0x90, 69, 100}});
  const std::vector<float> out = instance.render(4410);
  for (float sample : out)
    if (sample != 0.0f) return true;
  return false;
}

bool allZero(const std::vector<float>& samples) {
  for (float sample : samples)
    if (sample != 0.0f) return false;
  return true;
}

}  // namespace

TEST(RomDirectoryThroughHost, AnInstanceFindsThePlatformRomSetAndPlaysIt) {
  PlatformRoms roms(romset::demoRomSet());
  PluginLibrary library;
  ASSERT_TRUE(library.loaded());
  Instance instance(library);
  ASSERT_NE(instance.effect(), nullptr);
  EXPECT_TRUE(soundsANote(instance));
}

TEST(RomDirectoryThroughHost, WithoutRomsEveryBlockIsSilenceAndNothingFails) {
  PlatformRoms noRoms;
  PluginLibrary library;
  ASSERT_TRUE(library.loaded());
  Instance instance(library);
  ASSERT_NE(instance.effect(), nullptr);
  instance.dispatch(EffectOpcode::processingOnOff, 0, 1);
  instance.sendMidi({{0x90, 60, 100}, {0x90, 64, 100}, {0xC0, 7, 0}});
  instance.setParameter(0, 1.0f);
  EXPECT_TRUE(allZero(instance.render(2048)));
  instance.sendMidi({{0x80, 60, 0}});
  EXPECT_TRUE(allZero(instance.render(512)));
  EXPECT_EQ(instance.close(), 1);
}

TEST(RomDirectoryThroughHost, OnlyFilesDirectlyInTheRomDirectoryCount) {
  // Files in the directory itself sound; the same files one level down do not.
  romset::RomSet demo = romset::demoRomSet();
  PlatformRoms roms(demo);
  ASSERT_TRUE(demo.write(platformRomDirectory() + "nested/"));
  PluginLibrary library;
  {
    Instance instance(library);
    EXPECT_TRUE(soundsANote(instance));
  }
  PlatformRoms empty;
  ASSERT_TRUE(demo.write(platformRomDirectory() + "nested/"));
  Instance instance(library);
  EXPECT_FALSE(soundsANote(instance));
}

TEST(RomDirectoryThroughHost, AnEmptyXdgDataHomeFallsBackToHome) {
#if defined(_WIN32)
  GTEST_SKIP() << "the ROM directory is fixed on Windows";
#else
  TempDir home;
  ASSERT_TRUE(romset::demoRomSet().write(home.path() + ".local/share/sarn2/roms/"));
  ScopedEnv homeVariable("HOME", home.path().c_str());
  PluginLibrary library;
  ASSERT_TRUE(library.loaded());
  {
    ScopedEnv xdg("XDG_DATA_HOME", "");
    Instance instance(library);
    EXPECT_TRUE(soundsANote(instance));
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    Instance instance(library);
    EXPECT_TRUE(soundsANote(instance));
  }
  {
    // A set XDG_DATA_HOME wins over HOME even when it holds no ROMs and no
    // system-wide set is there to fall back on.
    TempDir elsewhere;
    ScopedEnv xdg("XDG_DATA_HOME", elsewhere.path().c_str());
    ScopedEnv dirs("XDG_DATA_DIRS", elsewhere.path().c_str());
    Instance instance(library);
    EXPECT_FALSE(soundsANote(instance));
  }
#endif
}
