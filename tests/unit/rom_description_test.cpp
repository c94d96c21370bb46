// ROM set descriptions: any set exported and built again gives its files
// back byte for byte, one edited value changes only its own bytes, and bad
// descriptions are refused with the file, line and key.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>

#include "tests/support/temp_rom_dir.h"
#include "tools/romset/description_build.h"
#include "tools/romset/scala_tuning.h"

using namespace romset;

namespace {

// Export as text, read it back and build it over the set itself.
RomSet roundTrip(const RomSet& set) {
  const std::string text = formatDescription(describeRomSet(set, {}));
  return buildRomSet(parseDescription(text, "set.toml", ""), set, nullptr).set;
}

RomSet randomSet(unsigned seed) {
  std::mt19937 random(seed);
  RomSet set;
  const size_t sizes[] = {0, 1, 100, 1000, 2047, 2048, 2048, 2048, 3000};
  for (const std::string& name : fileNames()) {
    if (random() % 5 == 0) continue;  // missing
    std::vector<uint8_t> bytes(sizes[random() % std::size(sizes)]);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    set.file(name) = bytes;
  }
  return set;
}

// Files that differ between two sets, with the number of bytes that do.
std::map<std::string, int> differences(const RomSet& a, const RomSet& b) {
  std::map<std::string, int> out;
  for (const std::string& name : fileNames()) {
    const auto& x = a.allFiles().count(name) ? a.allFiles().at(name) : std::nullopt;
    const auto& y = b.allFiles().count(name) ? b.allFiles().at(name) : std::nullopt;
    if (x.has_value() != y.has_value() || (x && x->size() != y->size())) {
      out[name] = -1;
      continue;
    }
    if (!x) continue;
    for (size_t i = 0; i < x->size(); ++i) out[name] += (*x)[i] != (*y)[i];
    if (out[name] == 0) out.erase(name);
  }
  return out;
}

// A valid hand-written description; tests break one thing in it.
std::string smallDescription() {
  std::string text = "[set]\nname = \"Small\"\n\n[pitch]\ntuning = \"equal\"\n";
  for (int b = 0; b < 8; ++b) text += "\n[[bank]]\nshape = \"saw\"\nharmonics = 12\n";
  for (int p = 0; p < 32; ++p)
    text += "\n[[preset]]\nname = \"P" + std::to_string(p) +
            "\"\nbank = 1\ncutoff = 2\n[preset.envelope]\nhold_level = 200\nhold_time = 3\n";
  return text;
}

std::string replaceOnce(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

std::string errorOf(const std::string& text) {
  try {
    parseDescription(text, "set.toml", "");
  } catch (const DescriptionError& e) {
    return e.what();
  }
  return "(accepted)";
}

}  // namespace

TEST(RomDescription, ExportThenBuildGivesEveryFileBackByteForByte) {
  EXPECT_TRUE(differences(roundTrip(demoRomSet()), demoRomSet()).empty());
  RomSet shortAndMissing = demoRomSet();
  shortAndMissing.remove("DD13");
  shortAndMissing.resize("DD2", 700);
  shortAndMissing.resize("DD16", 1100);  // the preset table now ends inside DD27
  shortAndMissing.remove("Midi_DD2");
  EXPECT_TRUE(differences(roundTrip(shortAndMissing), shortAndMissing).empty());
  EXPECT_TRUE(differences(roundTrip(RomSet()), RomSet()).empty());
  for (unsigned seed = 1; seed <= 8; ++seed) {
    const RomSet set = randomSet(seed);
    EXPECT_TRUE(differences(roundTrip(set), set).empty()) << "seed " << seed;
  }
}

TEST(RomDescription, EditingOneValueChangesOnlyTheBytesThatCarryIt) {
  const RomSet demo = demoRomSet();
  SetDescription d = describeRomSet(demo, {});
  d.presets[3].cutoff = (d.presets[3].cutoff + 1) % 4;
  d.banks[5].samples[7] = -d.banks[5].samples[7] - 1;
  d.pitch.steps[1347] = 12345;
  const RomSet built = buildRomSet(d, demo, nullptr).set;
  // Byte 15 of record 3 is DD16 byte 1024 + 3 x 32 + 15; bank 5 sample 7
  // is DD18/DD19 byte 512 + 7; step 1347 is DD1/DD2 byte 1347.
  EXPECT_EQ(differences(built, demo),
            (std::map<std::string, int>{{"DD16", 1}, {"DD18", 1}, {"DD19", 1}, {"DD1", 1}, {"DD2", 1}}));
  EXPECT_EQ(built.preset(3).bytes[15],
            demo.preset(3).bytes[15] ^
                (((demo.preset(3).bytes[15] >> 3 & 3) ^ ((demo.preset(3).bytes[15] >> 3 & 3) + 1) % 4) << 3));
  EXPECT_EQ((*built.allFiles().at("DD1"))[1347], 12345 & 0xFF);
}

TEST(RomDescription, ValuesPastTheEndOfAShortSetGrowOnlyTheLastFile) {
  RomSet set = demoRomSet();
  set.resize("DD16", 1024 + 32 * 10);  // records 0-9 whole, then the image ends
  set.remove("DD18");
  set.remove("DD19");
  set.remove("DD27");
  set.remove("DD28");
  set.remove("Midi_DD2");
  SetDescription d = describeRomSet(set, {});
  d.presets[20].envelope[4] = 99;
  const RomSet built = buildRomSet(d, set, nullptr).set;
  // The image grows to hold record 20 whole, in a new Midi_DD2 at its end.
  ASSERT_TRUE(built.allFiles().at("Midi_DD2").has_value());
  EXPECT_EQ(built.allFiles().at("Midi_DD2")->size(), 11u * 32u);
  EXPECT_EQ(built.image()[9216 + 20 * 32 + 6], 99);
  EXPECT_EQ(differences(built, set), (std::map<std::string, int>{{"Midi_DD2", -1}}));
}

TEST(RomDescription, DemoDescriptionReadsBackThroughItsOwnText) {
  const SetDescription d = parseDescription(demoDescriptionText(), "demo.toml", "");
  const SetDescription again = parseDescription(formatDescription(d), "again.toml", "");
  const RomSet built = buildRomSet(again, std::nullopt, nullptr).set;
  EXPECT_EQ(built.image(), demoRomSet().image());
  EXPECT_EQ(again.presets[2].name, "Saw Lead");
}

TEST(RomDescription, BadDescriptionsNameFileLineAndKey) {
  const std::string good = smallDescription();
  ASSERT_EQ(errorOf(good), "(accepted)");
  struct Case {
    std::string text;
    std::string expected;  // a regular expression over the whole message
  };
  const Case cases[] = {
      {replaceOnce(good, "name = \"Small\"", "name = \"Small"), R"(set\.toml:2: syntax error: .*)"},
      {replaceOnce(good, "cutoff = 2", "cutof = 2"),
       R"(set\.toml:\d+: \[\[preset\]\] 0: unknown key "cutof".*)"},
      {replaceOnce(good, "cutoff = 2", "cutoff = 4"),
       R"(set\.toml:\d+: \[\[preset\]\] 0, key "cutoff": 4 is out of range from 0 to 3)"},
      {replaceOnce(good, "hold_time = 3", "hold_time = 256"),
       R"(set\.toml:\d+: \[\[preset\]\] 0 envelope, key "hold_time": 256 is out of range from 0 to 255)"},
      {replaceOnce(good, "hold_time = 3", "hold_seconds = 9.0"),
       R"(set\.toml:\d+: .*key "hold_seconds": 9 s is out of range 0\.02267573696-5\.782312925 s)"},
      {replaceOnce(good, "hold_time = 3", "hold_time = 3\nhold_seconds = 1.0"),
       R"(.*give hold_time or hold_seconds, not both)"},
      {replaceOnce(good, "shape = \"saw\"", "shape = \"sawtooth\""), R"(.*"sawtooth" is not a shape.*)"},
      {replaceOnce(good, "shape = \"saw\"", "shape = \"saw\"\nsamples = [0]"),
       R"(set\.toml:\d+: \[\[bank\]\] 0: wave, shape and samples exclude each other; give one)"},
      {replaceOnce(good, "shape = \"saw\"\nharmonics = 12", "samples = [1, 2]"),
       R"(.*\[\[bank\]\] 0, key "samples": 2 samples; a bank holds exactly 512)"},
      {replaceOnce(good, "\n[[bank]]\nshape = \"saw\"\nharmonics = 12\n", ""),
       R"(set\.toml: \[\[bank\]\]: 7 given, the set needs 8: bank 7 is missing)"},
      {good + "\n[[bank]]\nshape = \"sine\"\n",
       R"(set\.toml:\d+: \[\[bank\]\] 8: one too many: the set has 8 banks \(0-7\))"},
      {good + "\n[other]\nx = 1\n", R"(set\.toml:\d+: top level: unknown key "other".*)"},
      {replaceOnce(good, "tuning = \"equal\"", "tuning = \"scala\""),
       R"(.*\[pitch\], key "scala": missing; give a quoted text)"},
      {replaceOnce(good, "tuning = \"equal\"", "steps = [1, 70000]"),
       R"(.*\[pitch\], key "steps" entry 1: 70000 is out of range -0\.5-65535\.5)"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(std::regex_match(errorOf(c.text), std::regex(c.expected))) << errorOf(c.text);
  // Thirty presets: which are missing is said.
  const std::string thirty = good.substr(0, good.find("\n[[preset]]\nname = \"P30\""));
  EXPECT_NE(errorOf(thirty).find("30 given, the set needs 32: presets 30-31 are missing"), std::string::npos)
      << errorOf(thirty);
}

TEST(RomDescription, HumanUnitsRoundToTheNearestByteAndSaySo) {
  const SetDescription d =
      parseDescription(replaceOnce(smallDescription(), "hold_time = 3",
                                   "hold_seconds = 1.0\nglide_seconds = 0.01\n"
                                   "ramp_start = 0\nramp_end = 200\nramp_seconds = 0.01"),
                       "set.toml", "");
  // 1 s is 44.1 holds of 1000 samples: byte 44; 0.01 s is 44.1 glide steps
  // of 10; a rise of 200 in 441 samples is 0.4535 a sample: rate byte 5.
  EXPECT_EQ(d.presets[0].envelope[5], 44);
  EXPECT_EQ(d.presets[0].envelope[3], 44);
  EXPECT_EQ(d.presets[0].envelope[1], 5);
  ASSERT_GE(d.notes.size(), 2u);
  EXPECT_NE(d.notes[0].find("hold_seconds = 1 rounds to byte 44 (0.9977324263 s)"), std::string::npos)
      << d.notes[0];
}

TEST(RomDescription, ScalaScaleAndMappingGiveTheirRatios) {
  const ScalaScale just =
      parseScala("! just.scl\nFive-limit just major\n 7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n", "just.scl");
  KeyboardMapping mapping;  // middle note 60 is degree 0, note 69 = 440 Hz
  mapping.map = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};
  const double c = *scalaFrequency(just, mapping, 60);
  EXPECT_DOUBLE_EQ(*scalaFrequency(just, mapping, 69), 440.0);
  EXPECT_DOUBLE_EQ(c, 440.0 * 3.0 / 5.0);
  EXPECT_DOUBLE_EQ(*scalaFrequency(just, mapping, 67) / c, 1.5);
  EXPECT_DOUBLE_EQ(*scalaFrequency(just, mapping, 48) / c, 0.5);
  EXPECT_FALSE(scalaFrequency(just, mapping, 61).has_value());
  const ScalaScale cents = parseScala(
      "12-TET\n12\n!\n100.0\n200.\n300.0\n400.0\n500.0\n600.0\n700.0\n800.0\n900.0\n"
      "1000.0\n1100.0\n1200.0\n",
      "tet.scl");
  EXPECT_NEAR(*scalaFrequency(cents, KeyboardMapping{}, 81), 880.0, 1e-9);

  const KeyboardMapping kbm = parseKeyboardMapping(
      "! whole.kbm\n12\n0\n127\n60\n69\n432.0\n12\n0\n1\n2\n3\n4\n5\n6\n7\n8\n9\nx\n11\n", "whole.kbm");
  EXPECT_EQ(kbm.referenceHz, 432.0);
  EXPECT_EQ(kbm.map[10], -1);

  const std::pair<std::string, std::string> bad[] = {
      {"desc\n3\n9/8\n5/4\n", "bad.scl: ends after 2 of its 3 pitches"},
      {"desc\n2\n9/8\nfive\n", "bad.scl:4: \"five\" is not a pitch"},
      {"desc\n2\n3/2\n-2/1\n", "bad.scl:4: \"-2/1\" is not a pitch"},
      {"desc\nmany\n", "bad.scl:2: number of notes: \"many\" is not a whole number from 1 to 1024"},
      {"desc\n2\n3/2\n1/2\n", "bad.scl:4: the last pitch is the period and must lie above the first (1/1)"},
      {"", "bad.scl: is empty"},
  };
  for (const auto& [text, expected] : bad) {
    try {
      parseScala(text, "bad.scl");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const DescriptionError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
    }
  }
}

TEST(RomDescription, ScalaTuningBuildsThePitchTableAndReportsTheTopNote) {
  testhost::TempDir dir;
  std::ofstream(dir.path() + "fifths.scl") << "Pythagorean fifth and octave\n2\n3/2\n2/1\n";
  const std::string text =
      replaceOnce(smallDescription(), "tuning = \"equal\"", "tuning = \"scala\"\nscala = \"fifths.scl\"");
  const BuildOutcome built =
      buildRomSet(parseDescription(text, "set.toml", dir.path()), std::nullopt, nullptr);
  const auto step = [&](int note) {
    const auto& lo = *built.set.allFiles().at("DD1");
    const auto& hi = *built.set.allFiles().at("DD2");
    const size_t i = 627 + 16 * static_cast<size_t>(note - 24);
    return hi[i] << 8 | lo[i];
  };
  // Notes 60, 61, 62 are degrees 0, 1, 2 (a fifth, then the octave); note
  // 69 is degree 9 = 4 octaves and a fifth above 60 and sounds 440 Hz.
  EXPECT_EQ(step(69), 10462);
  EXPECT_NEAR(static_cast<double>(step(61)) / step(60), 1.5, 1.0 / step(60));
  EXPECT_NEAR(static_cast<double>(step(62)) / step(60), 2.0, 1.0 / step(60));
  bool reported = false;
  for (const std::string& note : built.notes)
    reported |= note.find("the highest playable note is") != std::string::npos;
  EXPECT_TRUE(reported);
}
