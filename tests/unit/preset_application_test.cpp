// Applying a preset: the second-oscillator flag from bit 7 of record byte 15,
// only from a whole record.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/romset/romset.h"

#include "tests/reference/reference_model.h"

using namespace sarn2;

using romset::RomSet;

namespace {

std::unique_ptr<Sarn2VST> instrument(const RomSet& set) {
  testhost::TempDir dir;
  EXPECT_TRUE(set.write(dir.path()));
  return std::make_unique<Sarn2VST>(nullptr, dir.path());
}

// Every record's byte 15 set as given, in a full-size set.
RomSet withControlBytes(const std::vector<uint8_t>& controls) {
  RomSet set = RomSet::blank();
  for (size_t p = 0; p < controls.size(); ++p) {
    romset::PresetRecord record;
    record.bytes[15] = controls[p];
    set.setPreset(static_cast<int>(p), record);
  }
  return set;
}

uint8_t flag(const Sarn2VST& vst) { return vst.engine().secondOscillatorOn() ? 1 : 0; }

// DD1..DD14 full (8192 bytes) and DD16 cut so that the image ends at `size`.
RomSet imageOfSize(size_t size) {
  RomSet set = RomSet::blank();
  for (const char* name : {"DD18", "DD19", "DD27", "DD28", "Midi_DD2"}) set.remove(name);
  set.resize("DD16", size - 8192);
  return set;
}

}  // namespace

TEST(PresetApplication, Bit7OfByte15SwitchesTheSecondOscillatorOff) {
  auto vst = instrument(withControlBytes({0x80, 0x7F, 0x00, 0xFF, 0x87}));
  EXPECT_EQ(flag(*vst), 0);  // the constructor applied preset 0
  vst->engine().applyPreset(1);
  EXPECT_EQ(flag(*vst), 1);
  vst->engine().applyPreset(0);
  EXPECT_EQ(flag(*vst), 0);
  vst->engine().applyPreset(2);
  EXPECT_EQ(flag(*vst), 1);
  vst->engine().applyPreset(3);
  EXPECT_EQ(flag(*vst), 0);
  vst->engine().applyPreset(4);
  EXPECT_EQ(flag(*vst), 0);
}

TEST(PresetApplication, OutOfRangeNumbersUseTheEndRecordsAndLeaveThePresetField) {
  std::vector<uint8_t> controls(32, 0x80);
  controls[0] = 0x00;
  controls[31] = 0x00;
  auto vst = instrument(withControlBytes(controls));
  vst->setProgram(17);
  vst->engine().applyPreset(5);
  ASSERT_EQ(flag(*vst), 0);
  vst->engine().applyPreset(-1);  // record 0
  EXPECT_EQ(flag(*vst), 1);
  vst->engine().applyPreset(5);
  vst->engine().applyPreset(32);  // record 31
  EXPECT_EQ(flag(*vst), 1);
  vst->engine().applyPreset(5);
  vst->engine().applyPreset(std::numeric_limits<int32_t>::min());
  EXPECT_EQ(flag(*vst), 1);
  EXPECT_EQ(vst->engine().preset(), 17);
}

TEST(PresetApplication, ARecordThatIsNotWholeChangesNothing) {
  // 9247 bytes: record 0 needs 9248. Its byte 15 (9231) exists but is not used.
  RomSet set = imageOfSize(9247);
  (*set.file("DD16"))[1039] = 0x80;
  auto cut = instrument(set);
  ASSERT_EQ(cut->engine().roms().romImage.size(), 9247u);
  EngineInternals::setSecondOscillator(cut->engine(), 1);
  cut->engine().applyPreset(0);
  EXPECT_EQ(flag(*cut), 1);
  EngineInternals::setSecondOscillator(cut->engine(), 0);
  cut->engine().applyPreset(0);
  EXPECT_EQ(flag(*cut), 0);

  // 9300 bytes: records 0 and 1 whole, record 2 (needs 9312) not.
  RomSet partial = imageOfSize(9300);
  (*partial.file("DD16"))[1024 + 15] = 0x80;       // record 0: off
  (*partial.file("DD16"))[1024 + 32 + 15] = 0x00;  // record 1: on
  (*partial.file("DD16"))[1024 + 64 + 15] = 0x80;  // record 2's byte 15, present but not whole
  auto vst = instrument(partial);
  ASSERT_EQ(vst->engine().roms().romImage.size(), 9300u);
  EXPECT_EQ(flag(*vst), 0);
  vst->engine().applyPreset(1);
  EXPECT_EQ(flag(*vst), 1);
  vst->engine().applyPreset(2);
  EXPECT_EQ(flag(*vst), 1);  // still as preset 1 set it
  vst->engine().applyPreset(0);
  EXPECT_EQ(flag(*vst), 0);
  vst->engine().applyPreset(31);
  EXPECT_EQ(flag(*vst), 0);
}

TEST(PresetApplication, WithoutRomsTheFlagStartsOffAndStaysSo) {
  testhost::TempDir empty;
  Sarn2VST vst(nullptr, empty.path());
  EXPECT_EQ(flag(vst), 0);
  for (int32_t p : {0, 7, 31, -1, 99}) vst.engine().applyPreset(p);
  EXPECT_EQ(flag(vst), 0);
}

TEST(PresetApplication, EveryPathThatSelectsAPresetAppliesIt) {
  std::vector<uint8_t> controls(32, 0x80);
  controls[16] = 0x00;
  controls[31] = 0x00;
  auto vst = instrument(withControlBytes(controls));
  ASSERT_EQ(flag(*vst), 0);
  vst->setParameter(Sarn2VST::presetParameter, 0.5f);  // preset 16
  EXPECT_EQ(flag(*vst), 1);
  vst->setProgram(3);
  EXPECT_EQ(flag(*vst), 0);
  vst->setProgram(40);  // stored as 40, applied as record 31
  EXPECT_EQ(vst->getProgram(), 40);
  EXPECT_EQ(flag(*vst), 1);
  vst->setProgram(0);
  uint8_t chunk[20] = {99, 0, 0, 0};  // preset 99, clamped to 31
  EXPECT_EQ(vst->setChunk(chunk, sizeof(chunk), false), 1);
  EXPECT_EQ(flag(*vst), 1);
  EXPECT_EQ(vst->engine().preset(), 31);
}
