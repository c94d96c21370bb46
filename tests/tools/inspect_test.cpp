// `sarn2 inspect` and `sarn2 make-demo-roms`: the report a user reads to
// find out why the instrument is silent or sounds wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The words of the preset table's row for preset p.
std::vector<std::string> presetRow(const std::string& report, int p) {
  std::istringstream lines(report.substr(report.find("Presets:")));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string w; words >> w;) row.push_back(w);
    if (!row.empty() && row[0] == std::to_string(p)) return row;
  }
  return {};
}

class Inspect : public ::testing::Test {
 protected:
  ToolRun inspect(const romset::RomSet& set, std::vector<std::string> extra = {}) {
    EXPECT_TRUE(set.write(roms.path()));
    std::vector<std::string> args = {"inspect", roms.path()};
    args.insert(args.end(), extra.begin(), extra.end());
    return runSarn2(args);
  }
  testhost::TempDir roms, work;
};

}  // namespace

TEST_F(Inspect, CompleteSetHasNoWarnings) {
  const romset::RomSet set = romset::demoRomSet();
  const ToolRun run = inspect(set);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Image " + std::to_string(set.image().size()) + " bytes")) << run.out;
  EXPECT_TRUE(contains(run.out, "pitch table 2048 of 2048 entries"));
  EXPECT_TRUE(contains(run.out, "wave table 8192 of 8192 bytes (8 whole banks)"));
  EXPECT_TRUE(contains(run.out, "No warnings"));
}

TEST_F(Inspect, DecodesEachPresetAndItsEnvelopeLength) {
  romset::RomSet set = romset::demoRomSet();
  // The first worked example of the envelope: 1014 levels.
  set.setPreset(3, romset::PresetRecord{}.envelope(0, 0, 4, 1, 10, 1).control(5, 2, 1, false));
  // The longest envelope: 260101 levels, 5.898 s at 44.1 kHz.
  set.setPreset(4, romset::PresetRecord{}.envelope(0, 1, 255, 255, 0, 255).control(0, 3, 0, true));
  const ToolRun run = inspect(set);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(presetRow(run.out, 3), (std::vector<std::string>{"3", "5", "2", "1", "off", "0", "0", "4", "1",
                                                             "10", "1", "1014", "0.023"}));
  EXPECT_EQ(presetRow(run.out, 4), (std::vector<std::string>{"4", "0", "3", "0", "on", "0", "1", "255", "255",
                                                             "0", "255", "260101", "5.898"}));
}

TEST_F(Inspect, MissingFileBeforeThePresetTableShiftsIt) {
  romset::RomSet set = romset::demoRomSet();
  set.remove("DD13");
  const ToolRun run = inspect(set);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "DD13.BIN is missing (2048 bytes needed)")) << run.out;
  EXPECT_TRUE(contains(run.out, "every later file sits 2048 bytes earlier"));
  EXPECT_TRUE(contains(run.out, "preset table moves 2048 bytes further into the ROM data"));
  EXPECT_TRUE(contains(run.out, "read from DD18 bytes 1024-2047 instead of DD16 bytes 1024-2047"));
  // Without DD13 the DD18/DD19 waves fill banks 0-3 and banks 4-7 are empty.
  EXPECT_TRUE(contains(run.out, "the DD18/DD19 waves start at sample 0"));
  for (int bank = 4; bank < 8; ++bank)
    EXPECT_TRUE(contains(run.out, "Wave bank " + std::to_string(bank) + " is empty")) << bank;
  EXPECT_FALSE(contains(run.out, "Wave bank 3 "));
}

TEST_F(Inspect, MissingPitchFileSilencesEveryNote) {
  romset::RomSet set = romset::demoRomSet();
  set.remove("DD2");
  const ToolRun run = inspect(set);
  ASSERT_EQ(run.status, 1) << run.err;  // the report, and a status that says the set cannot sound
  EXPECT_TRUE(contains(run.out, "Verdict: silent")) << run.out;
  EXPECT_TRUE(contains(run.out, "DD2.BIN is missing (2048 bytes needed)")) << run.out;
  EXPECT_TRUE(
      contains(run.out, "The pitch table has 0 entries (it needs DD1 and DD2 both): every note is silent."));
}

TEST_F(Inspect, ShortFilesAndFilesAfterThePresetTable) {
  romset::RomSet set = romset::demoRomSet();
  set.remove("DD18");
  set.resize("DD1", 1000);  // pitch entries 0-999: notes from 48 up read entry 998
  const ToolRun run = inspect(set);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "DD1.BIN is 1000 bytes, shorter than the 2048 its table needs.")) << run.out;
  EXPECT_TRUE(contains(run.out, "notes 48 and up all read entry 998 and play one pitch"));
  EXPECT_TRUE(contains(run.out, "DD18.BIN is missing"));
  EXPECT_TRUE(contains(run.out, "moves 1048 bytes further"));
  for (int bank = 4; bank < 8; ++bank)
    EXPECT_TRUE(contains(run.out, "Wave bank " + std::to_string(bank) + " is empty and plays silence"))
        << bank;
}

TEST_F(Inspect, ImageThatEndsInsideThePresetTable) {
  romset::RomSet set = romset::demoRomSet();
  for (const char* name : {"DD18", "DD19", "DD27", "DD28", "Midi_DD2"}) set.remove(name);
  set.resize("DD16", 1500);  // image 9692 bytes: records 0-13 whole, byte 15 up to preset 14
  const ToolRun run = inspect(set);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Image 9692 bytes")) << run.out;
  EXPECT_TRUE(contains(run.out, "presets 14-31 lie outside it"));
  EXPECT_TRUE(contains(run.out, "no byte 15 for presets 15-31"));
  EXPECT_TRUE(contains(run.out, "read from DD16 bytes 1024-1499"));
  EXPECT_EQ(presetRow(run.out, 14).at(5), "(record");
  EXPECT_EQ(presetRow(run.out, 15).at(1), "(outside");
}

TEST_F(Inspect, SkippedFilesSayWhy) {
  romset::RomSet set = romset::demoRomSet();
  set.remove("DD27");
  ASSERT_TRUE(set.write(roms.path()));
  std::filesystem::create_directory(roms.path() + "DD27.BIN");
  const ToolRun run = runSarn2({"inspect", roms.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "DD27.BIN cannot be used: a folder, not a file.")) << run.out;
  EXPECT_TRUE(contains(run.out, "not read: a folder, not a file"));
  // Midi_DD2 follows directly after DD28 in the image: 9 x 2048 - 2048 bytes in.
  EXPECT_TRUE(contains(run.out, "16384-18431")) << run.out;
}

TEST_F(Inspect, EmptyOrMissingDirectory) {
  const ToolRun empty = runSarn2({"inspect", roms.path()});
  ASSERT_EQ(empty.status, 1) << empty.err;
  for (const char* name : {"DD1", "DD2", "DD13", "DD14", "DD16", "DD18", "DD19", "DD27", "DD28", "Midi_DD2"})
    EXPECT_TRUE(contains(empty.out, std::string(name) + ".BIN is missing")) << name;
  EXPECT_TRUE(contains(empty.out, "The ROM image is empty: the instrument renders silence."));

  const ToolRun missing = runSarn2({"inspect", roms.path() + "absent"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(
      contains(missing.out, "does not exist or is not a directory: the instrument finds no ROM files"));
}

TEST_F(Inspect, DefaultsToTheDirectoryTheInstrumentReads) {
  const std::string data = work.path() + "data";
  ASSERT_TRUE(romset::demoRomSet().write(data + "/sarn2/roms"));
  const ToolRun run = runSarn2({"inspect"}, {{"XDG_DATA_HOME", data}});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "ROM directory: " + data + "/sarn2/roms/")) << run.out;
  EXPECT_TRUE(contains(run.out, "No warnings"));
}

TEST_F(Inspect, PlotsAsPngOrSvg) {
  const ToolRun png = inspect(romset::demoRomSet(), {"--plot", work.path() + "roms.png"});
  ASSERT_EQ(png.status, 0) << png.err;
  // Eight banks in two rows over 32 envelopes in four, 1280 pixels wide.
  EXPECT_EQ(pngSize(readBytes(work.path() + "roms.png")), (std::pair<uint32_t, uint32_t>{1280, 704}));

  ASSERT_EQ(runSarn2({"inspect", roms.path(), "--plot", work.path() + "roms.svg"}).status, 0);
  const std::vector<uint8_t> svg = readBytes(work.path() + "roms.svg");
  const std::string text(svg.begin(), svg.end());
  EXPECT_TRUE(contains(text, "viewBox=\"0 0 1280 704\""));
  EXPECT_TRUE(contains(text, "</svg>"));
  // Labels are drawn as glyphs.
  EXPECT_TRUE(contains(text, "<symbol overflow=\"visible\" id=\"glyph"));

  const ToolRun jpeg = runSarn2({"inspect", roms.path(), "--plot", work.path() + "roms.jpg"});
  EXPECT_EQ(jpeg.status, 2);
  EXPECT_TRUE(contains(jpeg.err, ".png or .svg"));
  EXPECT_EQ(directoryEntries(work.path()), (std::vector<std::string>{"roms.png", "roms.svg"}));
}

TEST(MakeDemoRoms, WritesTheTenFilesAndNeverOverwritesUnasked) {
  testhost::TempDir work;
  const std::string dir = work.path() + "set";
  const ToolRun run = runSarn2({"make-demo-roms", dir});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "wrote 10 ROM files"));
  const romset::RomSet expected = romset::demoRomSet();
  ASSERT_EQ(directoryEntries(dir).size(), 10u);
  for (const auto& [name, content] : expected.allFiles()) {
    ASSERT_TRUE(content.has_value()) << name;
    EXPECT_EQ(readBytes(dir + "/" + name + ".BIN"), *content) << name;
  }

  // A directory that already holds ROM files is left alone without --force.
  writeBytes(dir + "/DD1.BIN", {1, 2, 3});
  const ToolRun again = runSarn2({"make-demo-roms", dir});
  EXPECT_EQ(again.status, 1);
  EXPECT_TRUE(contains(again.err, "already holds ROM files")) << again.err;
  EXPECT_EQ(readBytes(dir + "/DD1.BIN"), (std::vector<uint8_t>{1, 2, 3}));

  ASSERT_EQ(runSarn2({"make-demo-roms", "--force", dir}).status, 0);
  EXPECT_EQ(readBytes(dir + "/DD1.BIN"), *expected.allFiles().at("DD1"));
  EXPECT_EQ(directoryEntries(dir).size(), 10u);

  writeBytes(work.path() + "file", {0});
  EXPECT_EQ(runSarn2({"make-demo-roms", work.path() + "file"}).status, 1);
}
