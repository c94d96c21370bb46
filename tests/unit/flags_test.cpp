// The effect record's flag bits and counts, as their setters manage them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tests/unit/fake_host.h"

using namespace frame;

using namespace sarn2;

namespace {

struct FlagCase {
  const char* name;
  int32_t bit;
  std::function<void(Sarn2VST&, bool)> set;
};

const FlagCase kFlagSetters[] = {
    {"setHasClip", 0x2, [](Sarn2VST& s, bool on) { s.setHasClip(on); }},
    {"setHasMeter", 0x4, [](Sarn2VST& s, bool on) { s.setHasMeter(on); }},
    {"setCanMono", 0x8, [](Sarn2VST& s, bool on) { s.setCanMono(on); }},
    {"setCanReplace", 0x10, [](Sarn2VST& s, bool on) { s.setCanReplace(on); }},
    {"setProgramsAreChunks", 0x20, [](Sarn2VST& s, bool on) { s.setProgramsAreChunks(on); }},
    {"setIsSynth", 0x100, [](Sarn2VST& s, bool on) { s.setIsSynth(on); }},
    {"setNoTail", 0x200, [](Sarn2VST& s, bool on) { s.setNoTail(on); }},
    {"setWantsAsync", 0x400, [](Sarn2VST& s, bool on) { s.setWantsAsync(on); }},
    {"setHasExternalBuffer", 0x800, [](Sarn2VST& s, bool on) { s.setHasExternalBuffer(on); }},
    {"setCanReplaceDouble", 0x1000, [](Sarn2VST& s, bool on) { s.setCanReplaceDouble(on); }},
};

class Flags : public ::testing::Test {
 protected:
  void SetUp() override { fakehost::reset(); }
  testhost::TempDir roms;
};

}  // namespace

TEST_F(Flags, InstrumentStartsWithCanReplaceChunksAndSynth) {
  Sarn2VST synth(&fakehost::callback, roms.path());
  EXPECT_EQ(synth.getEffectRecord()->flags, 0x130);
}

// Each setter touches its own bit only, and true then false (or false then
// true for the bits that start set) leaves the flags as they were.
TEST_F(Flags, EachSetterTogglesItsOwnBit) {
  Sarn2VST synth(&fakehost::callback, roms.path());
  const int32_t start = synth.getEffectRecord()->flags;
  for (const FlagCase& c : kFlagSetters) {
    SCOPED_TRACE(c.name);
    const bool initiallySet = (start & c.bit) != 0;
    c.set(synth, !initiallySet);
    EXPECT_EQ(synth.getEffectRecord()->flags, start ^ c.bit);
    c.set(synth, !initiallySet);  // setting twice changes nothing more
    EXPECT_EQ(synth.getEffectRecord()->flags, start ^ c.bit);
    c.set(synth, initiallySet);
    EXPECT_EQ(synth.getEffectRecord()->flags, start);
    c.set(synth, true);
    EXPECT_EQ(synth.getEffectRecord()->flags, start | c.bit);
    c.set(synth, false);
    EXPECT_EQ(synth.getEffectRecord()->flags, start & ~c.bit);
    c.set(synth, initiallySet);
  }
  EXPECT_EQ(synth.getEffectRecord()->flags, start);
  EXPECT_TRUE(fakehost::host().calls.empty());
}

// The category follows the synth flag.
TEST_F(Flags, CategoryFollowsTheSynthFlag) {
  Sarn2VST synth(&fakehost::callback, roms.path());
  EXPECT_EQ(synth.getCategory(), 2);
  synth.setIsSynth(false);
  EXPECT_EQ(synth.getCategory(), 0);
}

namespace {

struct FieldCase {
  const char* name;
  size_t offset;
  std::function<void(Sarn2VST&, int32_t)> set;
};

}  // namespace

// Field setters write their own record field and nothing else.
TEST_F(Flags, FieldSettersWriteOnlyTheirField) {
  const FieldCase cases[] = {
      {"setUniqueId", offsetof(EffectRecord, uniqueId), [](Sarn2VST& s, int32_t v) { s.setUniqueId(v); }},
      {"setInputCount", offsetof(EffectRecord, inputCount),
       [](Sarn2VST& s, int32_t v) { s.setInputCount(v); }},
      {"setOutputCount", offsetof(EffectRecord, outputCount),
       [](Sarn2VST& s, int32_t v) { s.setOutputCount(v); }},
      {"setInitialDelay", offsetof(EffectRecord, initialDelay),
       [](Sarn2VST& s, int32_t v) { s.setInitialDelay(v); }},
      {"setRealtimeQualities", offsetof(EffectRecord, realtimeQualities),
       [](Sarn2VST& s, int32_t v) { s.setRealtimeQualities(v); }},
      {"setOfflineQualities", offsetof(EffectRecord, offlineQualities),
       [](Sarn2VST& s, int32_t v) { s.setOfflineQualities(v); }},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.name);
    Sarn2VST synth(&fakehost::callback, roms.path());
    EffectRecord before;
    std::memcpy(&before, synth.getEffectRecord(), sizeof(before));
    c.set(synth, 0x12345678);
    EffectRecord expected = before;
    const int32_t written = 0x12345678;
    std::memcpy(reinterpret_cast<uint8_t*>(&expected) + c.offset, &written, sizeof(written));
    EXPECT_EQ(0, std::memcmp(&expected, synth.getEffectRecord(), sizeof(expected)));
  }
  EXPECT_TRUE(fakehost::host().calls.empty());
}

TEST_F(Flags, RateAndBlockSizeSetters) {
  Sarn2VST synth(&fakehost::callback, roms.path());
  EXPECT_EQ(synth.getSampleRate(), 44100.0f);
  EXPECT_EQ(synth.getBlockSize(), 1024);
  synth.setBlockSizeAndSampleRate(64, 96000.0f);
  EXPECT_EQ(synth.getSampleRate(), 96000.0f);
  EXPECT_EQ(synth.getBlockSize(), 64);
  // The host sets them through opcodes 10 (opt) and 11 (value).
  synth.dispatch(10, 0, 0, nullptr, 22050.0f);
  synth.dispatch(11, 0, 4096, nullptr, 0.0f);
  EXPECT_EQ(synth.getSampleRate(), 22050.0f);
  EXPECT_EQ(synth.getBlockSize(), 4096);
  EXPECT_TRUE(fakehost::host().calls.empty());
}
