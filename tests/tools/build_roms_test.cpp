// `sarn2 build-roms` and `sarn2 inspect --export` as a user drives them:
// exported sets build back byte for byte, a hand-written set with a WAV
// waveform and a Scala scale plays in tune, and bad input is refused with
// its file, line and key, writing nothing.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/smf_writer.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;
namespace fs = std::filesystem;

namespace {

void writeWav(const std::string& path, int channels, int rate, const std::vector<float>& interleaved) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(sound, nullptr) << path;
  sf_writef_float(sound, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
  sf_close(sound);
}

std::string readText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class BuildRoms : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return work.path() + name; }

  // The ROM files of a directory by name; absent files are absent.
  std::map<std::string, std::vector<uint8_t>> romFiles(const std::string& dir) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const std::string& name : romset::fileNames())
      if (fs::exists(dir + "/" + name + ".BIN")) files[name] = readBytes(dir + "/" + name + ".BIN");
    return files;
  }

  // Exports the set, builds the export; the files must come back.
  void expectRoundTrip(const romset::RomSet& set) {
    ASSERT_TRUE(set.write(roms.path()));
    const ToolRun exported = runSarn2({"inspect", roms.path(), "--export", path("set.toml")});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const ToolRun built = runSarn2({"build-roms", path("set.toml"), "-o", path("out"), "--force"});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(romFiles(path("out")), romFiles(roms.path()));
  }

  testhost::TempDir roms, work;
};

}  // namespace

TEST_F(BuildRoms, ExportedSetsBuildBackByteForByteAndEditsTouchOnlyTheirBytes) {
  romset::RomSet odd = romset::demoRomSet();
  odd.remove("DD13");
  odd.resize("DD19", 300);
  expectRoundTrip(odd);
  expectRoundTrip(romset::demoRomSet());

  // One preset's cutoff in the text, one bank's WAV file.
  std::string text = readText(path("set.toml"));
  const size_t cutoff = text.find("cutoff = ", text.find("[[preset]]  # 5\n"));
  text.replace(cutoff, 10, "cutoff = " + std::to_string((text[cutoff + 9] - '0' + 1) % 4));
  writeBytes(path("set.toml"), std::vector<uint8_t>(text.begin(), text.end()));
  std::vector<float> square(512);
  for (size_t i = 0; i < square.size(); ++i) square[i] = i < 256 ? 0.5f : -0.5f;
  writeWav(path("set-bank6.wav"), 1, 44100, square);
  const ToolRun built = runSarn2({"build-roms", path("set.toml"), "-o", path("edited")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_NE(
      built.out.find("[[bank]] 6 (set-bank6.wav): 10-bit quantisation, peak error 0.000 of a step, exact"),
      std::string::npos)
      << built.out;
  std::map<std::string, int> changed;
  const auto before = romFiles(roms.path()), after = romFiles(path("edited"));
  for (const auto& [name, bytes] : after)
    for (size_t i = 0; i < bytes.size(); ++i) changed[name] += bytes[i] != before.at(name)[i];
  // Bank 6 is samples 1024-1535 of DD18/DD19; high bytes only change where
  // the sign does.
  EXPECT_EQ(changed["DD16"], 1);
  EXPECT_EQ(changed["DD1"] + changed["DD2"] + changed["DD14"] + changed["DD27"], 0);
  EXPECT_GT(changed["DD18"], 400);
  EXPECT_EQ(romset::decodeSample(after.at("DD18")[1024 + 3], after.at("DD19")[1024 + 3]), 1.0);  // 512/512
  EXPECT_EQ(readText(path("edited/set.toml")), text);
}

TEST_F(BuildRoms, HandWrittenSetWithAWaveAndAScalaScalePlaysInTune) {
  // One sine cycle of 1000 stereo frames at 48 kHz, resampled to the bank.
  std::vector<float> sine;
  for (int i = 0; i < 1000; ++i)
    for (int c = 0; c < 2; ++c) sine.push_back(static_cast<float>(0.4 * std::sin(2 * M_PI * i / 1000)));
  writeWav(path("sine.wav"), 2, 48000, sine);
  std::ofstream(path("just.scl"))
      << "! just.scl\nFive-limit just major scale\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n";
  std::ofstream(path("white.kbm")) << "! white keys carry the scale\n12\n0\n127\n60\n69\n440.0\n7\n"
                                      "0\nx\n1\nx\n2\n3\nx\n4\nx\n5\nx\n6\n";
  std::string text =
      "[set]\nname = \"Just\"\n[pitch]\ntuning = \"scala\"\nscala = \"just.scl\"\nkbm = \"white.kbm\"\n";
  text += "[[bank]]\nwave = \"sine.wav\"\n";
  for (int b = 1; b < 8; ++b) text += "[[bank]]\nshape = \"triangle\"\n";
  for (int p = 0; p < 32; ++p) text += "[[preset]]\nname = \"Pure\"\nbank = 0\ncutoff = 3\n";
  std::ofstream(path("just.toml")) << text;
  const ToolRun built = runSarn2({"build-roms", path("just.toml"), "-o", path("roms")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_NE(built.out.find("[[bank]] 0 (sine.wav): 10-bit quantisation"), std::string::npos) << built.out;
  // inspect names the presets, from the copy beside the ROM files or from a
  // description given instead of a directory, and draws the latter too.
  const ToolRun inspected = runSarn2({"inspect", path("roms")});
  EXPECT_NE(inspected.out.find("0.500  Pure\n"), std::string::npos) << inspected.out;
  const ToolRun drawn = runSarn2({"inspect", path("just.toml"), "--plot", path("just.png")});
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_NE(drawn.out.find("just.toml (as built from the description)"), std::string::npos) << drawn.out;
  EXPECT_NE(drawn.out.find("  Pure\n"), std::string::npos);
  EXPECT_GT(readBytes(path("just.png")).size(), 1000u);

  // G above middle C is the just fifth of C = 440 x 3/5 Hz: 396 Hz.
  writeSmf(path("g.mid"), 0, 480, {{{0, {0x90, 67, 100}}, {960, {0x80, 67, 0}}}});
  const ToolRun played = runSarn2({"render", path("g.mid"), "-o", path("g.wav"), "--rom-dir", path("roms"),
                                   "--filter", "off", "--tail", "0"});
  ASSERT_EQ(played.status, 0) << played.err;
  const Wav wav = readWav(path("g.wav"));
  std::vector<double> crossings;
  for (size_t i = 1; i < wav.samples.size(); ++i)
    if (wav.samples[i - 1] < 0.0f && wav.samples[i] >= 0.0f)
      crossings.push_back(i - 1 + wav.samples[i - 1] / (wav.samples[i - 1] - wav.samples[i]));
  ASSERT_GT(crossings.size(), 300u);
  const double hz = (crossings.size() - 1) * 44100.0 / (crossings.back() - crossings.front());
  EXPECT_NEAR(hz, 396.0, 396.0 * 2e-4);
}

TEST_F(BuildRoms, BadInputIsRefusedWithItsFileLineAndKeyAndWritesNothing) {
  const std::string banks = [] {
    std::string t;
    for (int b = 0; b < 7; ++b) t += "[[bank]]\nshape = \"sine\"\n";
    return t;
  }();
  std::string presets;
  for (int p = 0; p < 32; ++p) presets += "[[preset]]\nname = \"P\"\nbank = 0\n";
  auto set = [&](const std::string& pitch, const std::string& lastBank) {
    return "[set]\nname = \"Bad\"\n" + pitch + banks + "[[bank]]\n" + lastBank + "\n" + presets;
  };
  writeWav(path("one.wav"), 1, 44100, {0.5f});
  writeWav(path("empty.wav"), 1, 44100, {});
  writeWav(path("nan.wav"), 1, 44100, {0.1f, std::nanf(""), 0.2f});
  writeWav(path("wide.wav"), 60, 44100, std::vector<float>(60 * 600, std::numeric_limits<float>::infinity()));
  // A RIFF header that claims a huge format chunk and millions of channels.
  std::vector<uint8_t> hostile = {'R',  'I',  'F',  'F',  0xFF, 0xFF, 0xFF, 0x7F, 'W',  'A',  'V',
                                  'E',  'f',  'm',  't',  ' ',  16,   0,    0,    0,    3,    0,
                                  0xFF, 0xFF, 0x44, 0xAC, 0,    0,    0,    0,    0,    0,    4,
                                  0,    32,   0,    'd',  'a',  't',  'a',  0xF0, 0xFF, 0xFF, 0x7F};
  writeBytes(path("hostile.wav"), hostile);
  std::ofstream(path("bad.scl")) << "desc\n2\n3/2\nhalf\n";
  std::ofstream(path("a-file")) << "x";
  const std::string equal = "[pitch]\ntuning = \"equal\"\n";
  struct Case {
    std::string text, output, expected;
  };
  const std::vector<Case> cases = {
      {set(equal, "shape = sine"), "out", R"(d\.toml:\d+: syntax error: .*)"},
      {set(equal, "wave = \"none.wav\""), "out",
       R"(d\.toml:\d+: \[\[bank\]\] 7, key "wave": .*none\.wav: cannot be read as a sound file.*)"},
      {set(equal, "wave = \"empty.wav\""), "out",
       R"(d\.toml:\d+: .*empty\.wav: 0 frames; one cycle needs at least 2 samples)"},
      {set(equal, "wave = \"one.wav\""), "out",
       R"(d\.toml:\d+: .*one\.wav: 1 frame; one cycle needs at least 2 samples)"},
      {set(equal, "wave = \"nan.wav\""), "out",
       R"(.*nan\.wav: frame 1 holds a sample that is not a finite number)"},
      {set(equal, "wave = \"wide.wav\""), "out",
       R"(.*wide\.wav: frame 0 holds a sample that is not a finite number)"},
      {set(equal, "wave = \"hostile.wav\""), "out",
       R"(d\.toml:\d+: \[\[bank\]\] 7, key "wave": .*hostile\.wav: .*)"},
      {set("[pitch]\ntuning = \"scala\"\nscala = \"bad.scl\"\n", "shape = \"saw\""), "out",
       R"(.*bad\.scl:4: "half" is not a pitch.*)"},
      {set(equal, "shape = \"saw\"\nnormalise = true"), "out",
       R"(d\.toml:\d+: \[\[bank\]\] 7: unknown key "normalise".*)"},
      {set(equal, "shape = \"saw\""), "a-file/out", R"(cannot create .*a-file/out: .*)"},
  };
  for (const Case& c : cases) {
    writeBytes(path("d.toml"), std::vector<uint8_t>(c.text.begin(), c.text.end()));
    const ToolRun run = runSarn2({"build-roms", path("d.toml"), "-o", path(c.output)});
    EXPECT_EQ(run.status, 1) << c.expected;
    const std::string message = run.err.substr(0, run.err.find('\n'));
    EXPECT_TRUE(std::regex_match(message, std::regex("sarn2: error: (" + work.path() + ")?" + c.expected)))
        << message;
    EXPECT_FALSE(fs::exists(path("out")));
  }
  // Files already there are kept unless --force.
  const std::string good = set(equal, "shape = \"saw\"");
  writeBytes(path("d.toml"), std::vector<uint8_t>(good.begin(), good.end()));
  ASSERT_TRUE(romset::demoRomSet().write(roms.path()));
  const ToolRun refused = runSarn2({"build-roms", path("d.toml"), "-o", roms.path()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("pass --force to replace them"), std::string::npos) << refused.err;
  EXPECT_EQ(romFiles(roms.path()), romFiles(roms.path()));
  EXPECT_EQ(readBytes(roms.path() + "DD16.BIN"), *romset::demoRomSet().allFiles().at("DD16"));
}
