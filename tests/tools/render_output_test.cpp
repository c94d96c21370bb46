// `sarn2 render` as a new user meets it: no ROM files is a failure that says
// what to do, names in the wrong case are pointed out, the output file type
// follows its extension, and an output that is a symbolic link is written
// through. Also `inspect`'s hints and `--version`.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/smf_writer.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class RenderOutput : public ::testing::Test {
 protected:
  void SetUp() override { writeSmf(midi, 0, 480, {{{0, {0x90, 0x45, 0x64}}, {96, {0x80, 0x45, 0x00}}}}); }
  std::string path(const std::string& name) const { return work.path() + name; }
  // Writes the demo set into dir, the named files under other names.
  void writeDemo(const std::string& dir, const std::map<std::string, std::string>& renamed = {}) {
    fs::create_directories(dir);
    const romset::RomSet demo = romset::demoRomSet();
    for (const auto& [name, content] : demo.allFiles()) {
      const auto other = renamed.find(name);
      writeBytes(dir + (other == renamed.end() ? name + ".BIN" : other->second), *content);
    }
  }
  testhost::TempDir roms, work;
  const std::string midi = work.path() + "note.mid";
};

}  // namespace

TEST_F(RenderOutput, NoRomFileFailsNamingTheDirectoryAndInstallRoms) {
  // The tool runner's XDG_DATA_HOME is empty and XDG_DATA_DIRS names nothing.
  const ToolRun plain = runSarn2({"render", midi, "-o", path("out.wav")});
  EXPECT_EQ(plain.status, 1);
  EXPECT_TRUE(contains(plain.err, "/sarn2/roms/ nor in ")) << plain.err;
  EXPECT_TRUE(contains(plain.err, "sarn2 install-roms")) << plain.err;
  const ToolRun empty = runSarn2({"render", midi, "-o", path("out.wav"), "--rom-dir", roms.path()});
  EXPECT_EQ(empty.status, 1);
  EXPECT_TRUE(contains(empty.err, "no ROM file in " + roms.path())) << empty.err;
  EXPECT_EQ(directoryEntries(work.path()), std::vector<std::string>{"note.mid"});

  // Only in other case: still silence, and the hint says why.
  writeDemo(roms.path(), {{"DD1", "dd1.bin"},
                          {"DD2", "dd2.bin"},
                          {"DD13", "dd13.bin"},
                          {"DD14", "dd14.bin"},
                          {"DD16", "dd16.bin"},
                          {"DD18", "dd18.bin"},
                          {"DD19", "dd19.bin"},
                          {"DD27", "dd27.bin"},
                          {"DD28", "dd28.bin"},
                          {"Midi_DD2", "midi_dd2.bin"}});
  const ToolRun lower = runSarn2({"render", midi, "-o", path("out.wav"), "--rom-dir", roms.path()});
  EXPECT_EQ(lower.status, 1);
  EXPECT_TRUE(contains(lower.err, "hint: dd1.bin is there, but the instrument reads only DD1.BIN"))
      << lower.err;
}

TEST_F(RenderOutput, ASystemWideSetSoundsAndOneWrongCaseNameIsHinted) {
  const std::string system = path("system/");
  writeDemo(system + "sarn2/roms/", {{"DD27", "dd27.bin"}});
  const ToolRun run = runSarn2({"render", midi, "-o", path("out.wav"), "--tail", "0"},
                               {{"XDG_DATA_DIRS", path("nothing") + ":" + system}});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_GT(readWav(path("out.wav")).samples.size(), 0u);
  EXPECT_TRUE(contains(run.err, "hint: dd27.bin is there, but the instrument reads only DD27.BIN"))
      << run.err;

  const ToolRun inspect = runSarn2({"inspect", system + "sarn2/roms"});
  EXPECT_EQ(inspect.status, 0);  // it can sound, DD27 only shifts what follows it
  EXPECT_TRUE(contains(inspect.out, "Hints:\n  - dd27.bin is there")) << inspect.out;
}

TEST_F(RenderOutput, TheFileTypeFollowsTheExtension) {
  writeDemo(roms.path());
  const auto render = [&](const std::string& out, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"render",    midi,        "-o",     path(out),
                                     "--rom-dir", roms.path(), "--tail", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    return runSarn2(args);
  };
  ASSERT_EQ(render("reference.wav").status, 0);
  const std::vector<float> reference = readWav(path("reference.wav")).samples;
  ASSERT_FALSE(reference.empty());

  struct Case {
    const char* file;
    std::vector<std::string> extra;
    int format;
    double tolerance;  // against the float WAV
  };
  const Case cases[] = {
      {"a.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.0 / (1 << 23)},
      {"b.FLAC", {"--format", "pcm16"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0 / (1 << 15)},
      {"c.aiff", {}, SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 0.0},
      {"d.aif", {"--format", "pcm24"}, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1.0 / (1 << 23)},
      {"e.wav", {"--format", "pcm16"}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0 / (1 << 15)},
      {"f.ogg", {}, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.05},
  };
  for (const Case& c : cases) {
    const ToolRun run = render(c.file, c.extra);
    ASSERT_EQ(run.status, 0) << c.file << ": " << run.err;
    const Wav wav = readWav(path(c.file));
    EXPECT_EQ(wav.format, c.format) << c.file;
    ASSERT_EQ(wav.samples.size(), reference.size()) << c.file;
    double worst = 0.0;
    for (size_t i = 0; i < reference.size(); ++i)
      worst = std::max(worst, std::fabs(double(wav.samples[i]) - reference[i]));
    EXPECT_LE(worst, c.tolerance) << c.file;
  }

  // A type the name does not give, or an encoding it cannot hold, is a usage error and writes nothing.
  const std::vector<std::string> before = directoryEntries(work.path());
  for (const auto& [out, extra] :
       std::vector<std::pair<std::string, std::vector<std::string>>>{{"x.mp3", {}},
                                                                     {"noextension", {}},
                                                                     {"y.flac", {"--format", "float"}},
                                                                     {"z.ogg", {"--format", "pcm16"}}}) {
    const ToolRun run = render(out, extra);
    EXPECT_EQ(run.status, 2) << out;
    EXPECT_TRUE(contains(run.err, out)) << run.err;
  }
  EXPECT_EQ(directoryEntries(work.path()), before);
}

TEST_F(RenderOutput, AnOutputThatIsALinkIsWrittenThrough) {
  writeDemo(roms.path());
  fs::create_directories(path("takes"));
  writeBytes(path("takes/real.wav"), {'o', 'l', 'd'});
  fs::create_symlink("takes/real.wav", path("link.wav"));
  fs::create_symlink(path("takes/new.wav"), path("dangling.wav"));
  for (const char* link : {"link.wav", "dangling.wav"}) {
    const ToolRun run = runSarn2({"render", midi, "-o", path(link), "--rom-dir", roms.path(), "--tail", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(path(link))) << link;
  }
  EXPECT_GT(readWav(path("takes/real.wav")).samples.size(), 0u);
  EXPECT_GT(readWav(path("takes/new.wav")).samples.size(), 0u);
  EXPECT_EQ(directoryEntries(path("takes")), (std::vector<std::string>{"new.wav", "real.wav"}));
}

TEST(Version, PrintsTheProgramVersion) {
  const ToolRun run = runSarn2({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "sarn2 " SARN2_VERSION "\n");
}
