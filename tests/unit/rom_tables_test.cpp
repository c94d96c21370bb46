// Building romImage, pitchTable and waveTable from ROM files on disk, and
// the bounds-tested readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>

#include "instrument/engine/rom_loader.h"
#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/romset/romset.h"

using namespace sarn2;

using romset::RomSet;
using testhost::TempDir;

namespace {

std::vector<uint8_t> filled(size_t size, uint8_t value) { return std::vector<uint8_t>(size, value); }

RomTables load(const RomSet& set) {
  TempDir dir;
  EXPECT_TRUE(set.write(dir.path()));
  return loadRomTables(dir.path());
}

std::unique_ptr<Sarn2VST> instrument(const RomSet& set) {
  TempDir dir;
  EXPECT_TRUE(set.write(dir.path()));
  return std::make_unique<Sarn2VST>(nullptr, dir.path());
}

// Full-size DD1, DD2, DD13 and DD14 (8192 bytes) and DD16 of the given size:
// an image of 8192 + dd16Size bytes, with DD16[i] at image position 8192 + i.
RomSet imageEndingInDD16(size_t dd16Size) {
  RomSet set;
  for (const char* name : {"DD1", "DD2", "DD13", "DD14"}) set.file(name) = filled(2048, 0);
  set.file("DD16") = filled(dd16Size, 0);
  return set;
}

// A zero-filled file of the given size (sparse where the file system can).
void createFile(const std::string& path, uintmax_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fclose(file);
  std::filesystem::resize_file(path, size);
}

RomTables tablesWithImage(size_t size) {
  RomTables roms;
  roms.romImage.assign(size, 0);
  return roms;
}

}  // namespace

TEST(RomLoading, PitchTableHasOneEntryPerPairUpTo2048) {
  RomSet set;
  set.file("DD1") = filled(3000, 1);
  set.file("DD2") = filled(3000, 2);
  EXPECT_EQ(load(set).pitchTable.size(), 2048u);

  set.file("DD2") = filled(100, 2);
  const RomTables shortHigh = load(set);
  ASSERT_EQ(shortHigh.pitchTable.size(), 100u);
  EXPECT_EQ(shortHigh.pitchTable[99], 0x0201);

  set.remove("DD2");
  EXPECT_TRUE(load(set).pitchTable.empty());
}

TEST(RomLoading, PitchEntryTakesItsLowByteFromDD1AndHighByteFromDD2) {
  RomSet set;
  set.file("DD1") = filled(2048, 0);
  set.file("DD2") = filled(2048, 0);
  (*set.file("DD1"))[7] = 0x34;
  (*set.file("DD2"))[7] = 0x12;
  (*set.file("DD1"))[2047] = 0xFF;
  (*set.file("DD2"))[2047] = 0xFF;
  const RomTables roms = load(set);
  EXPECT_EQ(roms.pitchTable[7], 0x1234);
  EXPECT_EQ(roms.pitchTable[6], 0);
  EXPECT_EQ(roms.pitchTable[2047], 0xFFFF);
}

TEST(RomLoading, WaveTableInterleavesEachPairAndTheSecondPartFollowsTheFirst) {
  RomSet set;
  set.file("DD13") = filled(1000, 0x13);
  set.file("DD14") = filled(2048, 0x14);
  set.file("DD18") = filled(2048, 0x18);
  set.file("DD19") = filled(2048, 0x19);
  (*set.file("DD18"))[0] = 0xA0;
  (*set.file("DD19"))[0] = 0xA1;
  const RomTables roms = load(set);
  ASSERT_EQ(roms.waveTable.size(), 6096u);
  EXPECT_EQ(roms.waveTable[0], 0x13);
  EXPECT_EQ(roms.waveTable[1], 0x14);
  EXPECT_EQ(roms.waveTable[1998], 0x13);
  EXPECT_EQ(roms.waveTable[1999], 0x14);
  EXPECT_EQ(roms.waveTable[2000], 0xA0);  // first DD18/DD19 sample
  EXPECT_EQ(roms.waveTable[2001], 0xA1);
  EXPECT_EQ(roms.waveTable[6095], 0x19);

  // Without DD14 the first part is left out and DD18/DD19 start at byte 0.
  set.remove("DD14");
  const RomTables noFirstPart = load(set);
  ASSERT_EQ(noFirstPart.waveTable.size(), 4096u);
  EXPECT_EQ(noFirstPart.waveTable[0], 0xA0);

  // Pairs beyond 2048 are dropped even when both files are longer.
  set.file("DD13") = filled(4000, 1);
  set.file("DD14") = filled(4000, 2);
  EXPECT_EQ(load(set).waveTable.size(), 8192u);
}

TEST(RomLoading, ImageIsEveryFileAppendedInListOrderAndMissingFilesShiftTheRest) {
  RomSet set;
  size_t expected = 0;
  for (size_t i = 0; i < romset::fileNames().size(); ++i) {
    // Sizes differ per file so that a wrong order or a lost file shows.
    const size_t size = 100 + 10 * i;
    set.file(romset::fileNames()[i]) = filled(size, static_cast<uint8_t>(i + 1));
    expected += size;
  }
  const RomTables all = load(set);
  ASSERT_EQ(all.romImage.size(), expected);
  size_t position = 0;
  for (size_t i = 0; i < romset::fileNames().size(); ++i) {
    EXPECT_EQ(all.romImage[position], i + 1) << romset::fileNames()[i];
    position += 100 + 10 * i;
    EXPECT_EQ(all.romImage[position - 1], i + 1) << romset::fileNames()[i];
  }

  // DD2 (110 bytes) missing: DD13 now starts where DD2 did, and so on.
  set.remove("DD2");
  const RomTables shifted = load(set);
  ASSERT_EQ(shifted.romImage.size(), expected - 110);
  EXPECT_EQ(shifted.romImage[100], 3);  // DD13
  EXPECT_EQ(shifted.romImage.back(), 10);
}

TEST(RomLoading, MissingDD2MovesThePresetTableOntoOtherBytes) {
  RomSet set = romset::demoRomSet();
  romset::PresetRecord marker;
  marker.control(6, 0, 0, false);  // byte 15 = 0x86
  set.setPreset(0, marker);
  const RomTables whole = load(set);
  EXPECT_EQ(whole.romImage[9216 + 15], 0x86);
  EXPECT_EQ(presetControlByte(whole, 0), 0x86);

  // Without DD2 every later file sits 2048 bytes earlier: position 9216 now
  // falls 1024 bytes into DD18, and the preset table is read from samples.
  set.remove("DD2");
  const RomTables shifted = load(set);
  EXPECT_EQ(shifted.romImage.size(), 20480u - 2048u);
  EXPECT_EQ(presetControlByte(shifted, 0), (*set.file("DD18"))[1024 + 15]);
  EXPECT_EQ(shifted.romImage[9216], (*set.file("DD18"))[1024]);
  EXPECT_TRUE(shifted.pitchTable.empty());
  EXPECT_EQ(shifted.waveTable.size(), 8192u);
}

TEST(RomLoading, UnusableFilesAreSkippedAndTheRestStillLoads) {
  TempDir dir;
  RomSet set = romset::demoRomSet();
  set.remove("DD16");
  set.remove("DD27");
  set.remove("DD28");
  set.resize("DD19", 100);
  ASSERT_TRUE(set.write(dir.path()));
  namespace fs = std::filesystem;
  // A directory in place of a file, an empty file and one far too large to
  // be a ROM dump: none of them adds a byte.
  fs::create_directory(dir.path() + "DD16.BIN");
  createFile(dir.path() + "DD27.BIN", 0);
  createFile(dir.path() + "DD28.BIN", 16u * 1024 * 1024 + 1);

  const RomLoad load = loadRoms(dir.path());
  const RomTables& roms = load.tables;
  EXPECT_EQ(roms.pitchTable.size(), 2048u);
  EXPECT_EQ(roms.waveTable.size(), 4096u + 200u);
  EXPECT_EQ(roms.romImage.size(), 6u * 2048u + 100u);  // DD1, DD2, DD13, DD14, DD18, DD19, Midi_DD2

  // Each file's outcome, and where its bytes landed in the image.
  struct Expected {
    RomFileStatus status;
    int64_t size, imageStart, imageBytes;
  };
  const Expected expected[] = {{RomFileStatus::found, 2048, 0, 2048},
                               {RomFileStatus::found, 2048, 2048, 2048},
                               {RomFileStatus::found, 2048, 4096, 2048},
                               {RomFileStatus::found, 2048, 6144, 2048},
                               {RomFileStatus::folder, 0, 8192, 0},
                               {RomFileStatus::found, 2048, 8192, 2048},
                               {RomFileStatus::found, 100, 10240, 100},
                               {RomFileStatus::found, 0, 10340, 0},
                               {RomFileStatus::tooLarge, 16 * 1024 * 1024 + 1, 10340, 0},
                               {RomFileStatus::found, 2048, 10340, 2048}};
  for (size_t f = 0; f < kRomFiles.size(); ++f) {
    const RomFileOutcome& outcome = load.files[f];
    EXPECT_EQ(outcome.status, expected[f].status) << kRomFiles[f].name;
    EXPECT_EQ(outcome.size, expected[f].size) << kRomFiles[f].name;
    EXPECT_EQ(outcome.imageStart, expected[f].imageStart) << kRomFiles[f].name;
    EXPECT_EQ(outcome.imageBytes, expected[f].imageBytes) << kRomFiles[f].name;
  }
  set.remove("DD1");
  TempDir other;
  ASSERT_TRUE(set.write(other.path()));
  EXPECT_EQ(loadRoms(other.path()).files[0].status, RomFileStatus::missing);
}

TEST(RomLoading, AFileOfExactly16MiBIsStillRead) {
  TempDir dir;
  createFile(dir.path() + "DD27.BIN", 16u * 1024 * 1024);
  EXPECT_EQ(loadRomTables(dir.path()).romImage.size(), 16u * 1024 * 1024);
}

TEST(RomLoading, NoDirectoryOrAnEmptyOneGivesThreeEmptyTables) {
  TempDir dir;
  for (const std::string& directory : {std::string(), dir.path(), dir.path() + "absent/"}) {
    const RomTables roms = loadRomTables(directory);
    EXPECT_TRUE(roms.romImage.empty()) << directory;
    EXPECT_TRUE(roms.pitchTable.empty()) << directory;
    EXPECT_TRUE(roms.waveTable.empty()) << directory;
  }
}

TEST(RomReaders, SamplesAreSignAndMagnitude) {
  RomTables roms;
  roms.waveTable = {0xFF, 0x07, 0xFF, 0x03, 0x10, 0xFC, 0x00, 0x04, 0x01, 0xF8};
  EXPECT_EQ(waveSample(roms, 0, 0), 1023.0 / 512.0);
  EXPECT_EQ(waveSample(roms, 0, 1), -1023.0 / 512.0);
  EXPECT_EQ(waveSample(roms, 0, 2), 16.0 / 512.0);
  EXPECT_EQ(waveSample(roms, 0, 3), 0.0);
  EXPECT_EQ(waveSample(roms, 0, 4), -1.0 / 512.0);     // bits 3-7 ignored, sign clear
  EXPECT_EQ(waveSample(roms, 2, 0), -1023.0 / 512.0);  // the offset is in bytes
}

TEST(RomReaders, ASamplePairNotWhollyInsideTheTableReadsZero) {
  RomTables roms;
  roms.waveTable.assign(1023, 0);  // the last pair of bank 0 lacks its high byte
  roms.waveTable[1020] = 0x40;
  roms.waveTable[1021] = 0x04;
  roms.waveTable[1022] = 0xFF;
  EXPECT_EQ(waveSample(roms, 0, 510), 64.0 / 512.0);
  EXPECT_EQ(waveSample(roms, 0, 511), 0.0);
  EXPECT_EQ(waveSample(roms, 1024, 0), 0.0);
  EXPECT_EQ(waveSample(roms, -2, 0), 0.0);
  EXPECT_EQ(waveSample(roms, 7 * 1024, 511), 0.0);
  EXPECT_EQ(waveSample(RomTables{}, 0, 0), 0.0);
}

TEST(RomReaders, PitchIndexFollowsTheNoteRuleAndFallsBackToSizeMinusTwo) {
  RomTables roms;
  roms.pitchTable.assign(2048, 0);
  for (int32_t note = -128; note <= 24; ++note) EXPECT_EQ(pitchTableIndex(roms, note), 627) << note;
  EXPECT_EQ(pitchTableIndex(roms, 25), 643);
  EXPECT_EQ(pitchTableIndex(roms, 69), 1347);
  EXPECT_EQ(pitchTableIndex(roms, 112), 2035);
  for (int32_t note = 113; note <= 127; ++note) EXPECT_EQ(pitchTableIndex(roms, note), 2046) << note;
  EXPECT_EQ(pitchTableIndex(roms, std::numeric_limits<int32_t>::max()), 2046);
  EXPECT_EQ(pitchTableIndex(roms, std::numeric_limits<int32_t>::min()), 627);

  roms.pitchTable.assign(628, 0);
  EXPECT_EQ(pitchTableIndex(roms, 24), 627);
  EXPECT_EQ(pitchTableIndex(roms, 25), 626);
  roms.pitchTable.assign(2, 0);
  EXPECT_EQ(pitchTableIndex(roms, 60), 0);
  // Fewer than two entries: no index fits, and none is offered.
  roms.pitchTable.assign(1, 0);
  EXPECT_EQ(pitchTableIndex(roms, 60), -1);
  roms.pitchTable.clear();
  EXPECT_EQ(pitchTableIndex(roms, 0), -1);
}

TEST(RomReaders, PresetNumbersAreClampedByEveryReader) {
  EXPECT_EQ(presetRecordPosition(-7), 9216);
  EXPECT_EQ(presetRecordPosition(45), 9216 + 31 * 32);
  EXPECT_EQ(presetRecordPosition(std::numeric_limits<int32_t>::min()), 9216);
  EXPECT_EQ(presetRecordPosition(std::numeric_limits<int32_t>::max()), 10208);

  RomTables roms = tablesWithImage(10240);
  roms.romImage[9216 + 15] = 0x11;
  roms.romImage[10208 + 15] = 0x22;
  EXPECT_EQ(presetControlByte(roms, -7), 0x11);
  EXPECT_EQ(presetControlByte(roms, 45), 0x22);
  EXPECT_EQ(wholePresetRecord(roms, -7), roms.romImage.data() + 9216);
  EXPECT_EQ(wholePresetRecord(roms, 45), roms.romImage.data() + 10208);
}

TEST(RomReaders, RecordWholenessAndControlByteHaveTheirOwnBounds) {
  RomTables at9247 = tablesWithImage(9247);
  at9247.romImage[9231] = 0x5D;
  EXPECT_EQ(wholePresetRecord(at9247, 0), nullptr);  // needs 9248 bytes
  EXPECT_EQ(presetControlByte(at9247, 0), 0x5D);     // position 9231 is present
  EXPECT_NE(wholePresetRecord(tablesWithImage(9248), 0), nullptr);

  EXPECT_EQ(presetControlByte(tablesWithImage(9231), 0), 0);
  EXPECT_EQ(presetControlByte(RomTables{}, 5), 0);

  RomTables at10239 = tablesWithImage(10239);
  at10239.romImage[10223] = 0x7E;
  for (int32_t p = 0; p <= 30; ++p) EXPECT_NE(wholePresetRecord(at10239, p), nullptr) << p;
  EXPECT_EQ(wholePresetRecord(at10239, 31), nullptr);
  EXPECT_EQ(presetControlByte(at10239, 31), 0x7E);
}

TEST(RomReaders, A9247ByteImageStillFeedsTheWaveBankButNotTheEnvelope) {
  RomSet set = imageEndingInDD16(1055);  // 8192 + 1055 = 9247
  (*set.file("DD16"))[1039] = 0x05;      // image position 9231: bank 5
  auto vst = instrument(set);
  ASSERT_EQ(vst->engine().roms().romImage.size(), 9247u);
  float out[4];
  float* outputs[] = {out};
  vst->renderBlock(nullptr, outputs, 4);
  EXPECT_EQ(vst->engine().waveBankOffset(), 5 * 1024);
  vst->engine().noteOn(60);
  ASSERT_EQ(vst->engine().filterEnvelope().size(), 1);
  EXPECT_EQ(vst->engine().filterEnvelope()[0], 128);
}
