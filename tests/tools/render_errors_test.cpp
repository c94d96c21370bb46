// Mistakes users make with `sarn2 render`: each gets a message naming the
// problem and a non-zero exit, and no output file appears, not even half
// of one.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/smf_writer.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;

namespace {

class RenderMistakes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(romset::demoRomSet().write(roms.path()));
    writeSmf(path("good.mid"), 0, 480, {{{0, {0x90, 0x45, 0x64}}, {96, {0x80, 0x45, 0x00}}}});
  }
  std::string path(const std::string& name) const { return work.path() + name; }

  // Runs render and checks the outcome; the work directory must hold
  // exactly what it held before.
  void expectFailure(std::vector<std::string> args, int status, const std::string& message) {
    const std::vector<std::string> before = directoryEntries(work.path());
    args.insert(args.begin(), "render");
    const ToolRun run = runSarn2(args);
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << "stderr: " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(directoryEntries(work.path()), before);
  }

  testhost::TempDir roms, work;
};

}  // namespace

TEST_F(RenderMistakes, MissingOrCorruptMidiFile) {
  expectFailure({path("absent.mid"), "-o", path("out.wav")}, 1, "cannot read MIDI file");
  writeBytes(path("noise.mid"), {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8, 9});
  expectFailure({path("noise.mid"), "-o", path("out.wav")}, 1, "is not a readable Standard MIDI File");
  // A header promising a track that the file does not hold.
  std::vector<uint8_t> cut = smfBytes(0, 480, {{{0, {0x90, 0x45, 0x64}}, {96, {0x80, 0x45, 0x00}}}});
  cut.resize(cut.size() - 6);
  writeBytes(path("cut.mid"), cut);
  expectFailure({path("cut.mid"), "-o", path("out.wav")}, 1, "is not a readable Standard MIDI File");
  expectFailure({work.path(), "-o", path("out.wav")}, 1, "MIDI");
}

TEST_F(RenderMistakes, LibraryThatIsNotAPlugin) {
  const std::string midi = path("good.mid");
  expectFailure({midi, "-o", path("out.wav"), "--plugin", SARN2_NO_ENTRY_LIBRARY}, 1,
                "exports no entry point");
  expectFailure({midi, "-o", path("out.wav"), "--plugin", SARN2_NULL_ENTRY_LIBRARY}, 1,
                "entry point returned no effect");
  expectFailure({midi, "-o", path("out.wav"), "--plugin", midi}, 1, "cannot load");
  expectFailure({midi, "-o", path("out.wav"), "--plugin", path("absent.so")}, 1, "cannot load");
}

TEST_F(RenderMistakes, OutputThatCannotBeWritten) {
  const std::string midi = path("good.mid");
  expectFailure({midi, "-o", path("no/such/dir/out.wav"), "--rom-dir", roms.path()}, 1, "does not exist");
  std::filesystem::create_directory(path("taken"));
  expectFailure({midi, "-o", path("taken"), "--rom-dir", roms.path()}, 1, "it is a directory");
  expectFailure(
      {midi, "-o", path("out.wav"), "--save-state", path("no/dir/s.state"), "--rom-dir", roms.path()}, 1,
      "does not exist");
}

TEST_F(RenderMistakes, BadOptionValues) {
  const std::string midi = path("good.mid"), out = path("out.wav");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--rate", "0"}, "--rate"},         {{"--rate", "44.1k"}, "--rate"},
      {{"--block", "0"}, "--block"},       {{"--block", "100000"}, "--block"},
      {{"--preset", "32"}, "--preset"},    {{"--preset", "-1"}, "--preset"},
      {{"--release", "1.5"}, "--release"}, {{"--release", "loud"}, "--release"},
      {{"--filter", "maybe"}, "--filter"}, {{"--tail", "-1"}, "--tail"},
      {{"--tail", "soon"}, "--tail"},      {{"--tail", "nan"}, "--tail"},
      {{"--format", "mp3"}, "--format"},   {{"--unknown"}, "--unknown"},
  };
  for (const auto& [options, message] : cases) {
    std::vector<std::string> args = {midi, "-o", out, "--rom-dir", roms.path()};
    args.insert(args.end(), options.begin(), options.end());
    expectFailure(args, 2, message);
  }
  expectFailure({midi}, 2, "--output");
  expectFailure({midi, "-o", out, "--rom-dir", path("nowhere")}, 1, "ROM directory");
}

TEST_F(RenderMistakes, StateFileOfTheWrongSize) {
  const std::string midi = path("good.mid");
  for (size_t size : {0, 19, 21}) {
    writeBytes(path("state.bin"), std::vector<uint8_t>(size, 0));
    expectFailure({midi, "-o", path("out.wav"), "--rom-dir", roms.path(), "--load-state", path("state.bin")},
                  1, "is " + std::to_string(size) + " bytes, but sarn2.so keeps a state of 20 bytes");
  }
  expectFailure({midi, "-o", path("out.wav"), "--load-state", path("absent.bin")}, 1,
                "cannot read state file");
}

TEST_F(RenderMistakes, FailedRenderLeavesAnExistingOutputAlone) {
  writeBytes(path("out.wav"), {'o', 'l', 'd'});
  writeBytes(path("state.bin"), std::vector<uint8_t>(19, 0));
  expectFailure(
      {path("good.mid"), "-o", path("out.wav"), "--rom-dir", roms.path(), "--load-state", path("state.bin")},
      1, "19 bytes");
  EXPECT_EQ(readBytes(path("out.wav")), (std::vector<uint8_t>{'o', 'l', 'd'}));

  // And a successful one replaces it whole.
  const ToolRun run = runSarn2({"render", path("good.mid"), "-o", path("out.wav"), "--rom-dir", roms.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_GT(readWav(path("out.wav")).samples.size(), 0u);
  EXPECT_EQ(directoryEntries(work.path()), (std::vector<std::string>{"good.mid", "out.wav", "state.bin"}));
}
