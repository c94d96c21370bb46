// `sarn2 install-roms`: getting a ROM set where the instrument looks, from the
// demo set or a user's own dumps in whatever case, never losing a user's file.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class InstallRoms : public ::testing::Test {
 protected:
  // Runs install-roms with XDG_DATA_HOME at dataHome.
  ToolRun install(std::vector<std::string> args, const std::string& home = "") {
    args.insert(args.begin(), "install-roms");
    return runSarn2(args, {{"XDG_DATA_HOME", home.empty() ? data.path() : home}});
  }
  std::string installed() const { return data.path() + "sarn2/roms/"; }
  testhost::TempDir data, source;
  const romset::RomSet demo = romset::demoRomSet();
};

}  // namespace

TEST_F(InstallRoms, TheDemoSetLandsInTheUserDirectoryAndSounds) {
  const ToolRun run = install({});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  for (const auto& [name, content] : demo.allFiles())
    EXPECT_EQ(readBytes(installed() + name + ".BIN"), *content);
  EXPECT_EQ(directoryEntries(installed()).size(), 10u);
  EXPECT_TRUE(contains(run.out, "Verdict: complete")) << run.out;
  // A second run finds everything in place and changes nothing.
  const ToolRun again = install({});
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(contains(again.out, "DD1.BIN       already installed, unchanged")) << again.out;
}

TEST_F(InstallRoms, TakesNamesInAnyCaseAndSaysWhatIsMissing) {
  // dd1.bin and Dd2.Bin come in under the right names; DD1.BIN beside dd1.bin wins.
  for (const auto& [name, content] : demo.allFiles()) {
    if (name == "DD27" || name == "DD28") continue;
    std::string file = name + ".BIN";
    if (name == "DD1") file = "dd1.bin";
    if (name == "DD2") file = "Dd2.Bin";
    writeBytes(source.path() + file, *content);
  }
  writeBytes(source.path() + "DD13.bin", {1, 2, 3});  // loses to the exact DD13.BIN
  const ToolRun run = install({source.path()});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  const std::vector<std::string> expected = {"DD1.BIN",  "DD13.BIN", "DD14.BIN", "DD16.BIN",
                                             "DD18.BIN", "DD19.BIN", "DD2.BIN",  "Midi_DD2.BIN"};
  EXPECT_EQ(directoryEntries(installed()), expected);
  EXPECT_EQ(readBytes(installed() + "DD1.BIN"), *demo.allFiles().at("DD1"));
  EXPECT_EQ(readBytes(installed() + "DD13.BIN"), *demo.allFiles().at("DD13"));
  EXPECT_TRUE(contains(run.out, "DD1.BIN       installed from dd1.bin")) << run.out;
  EXPECT_TRUE(contains(run.out, "not installed: DD27.BIN, DD28.BIN")) << run.out;
}

TEST_F(InstallRoms, KeepsExistingFilesUnlessForced) {
  fs::create_directories(installed());
  writeBytes(installed() + "DD27.BIN", {'m', 'i', 'n', 'e'});
  const ToolRun kept = install({});
  EXPECT_EQ(kept.status, 0) << kept.err;
  EXPECT_EQ(readBytes(installed() + "DD27.BIN"), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_TRUE(contains(kept.out, "DD27.BIN      kept")) << kept.out;
  EXPECT_EQ(readBytes(installed() + "DD1.BIN"), *demo.allFiles().at("DD1"));

  const ToolRun forced = install({"--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(readBytes(installed() + "DD27.BIN"), *demo.allFiles().at("DD27"));
}

TEST_F(InstallRoms, BadInputFailsWithAMessageAndInstallsNothing) {
  writeBytes(data.path() + "plain-file", {0});
  writeBytes(source.path() + "readme.txt", {0});
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string home;
    const char* message;
  };
  const Case cases[] = {
      {"destination under a regular file", {}, data.path() + "plain-file", "cannot create the ROM directory"},
      {"source without ROM files", {source.path()}, "", "holds none of the ten ROM files"},
      {"source that does not exist", {source.path() + "nowhere"}, "", "it is not a directory"},
  };
  for (const Case& c : cases) {
    const ToolRun run = install(c.args, c.home);
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_TRUE(contains(run.err, c.message)) << c.what << ": " << run.err;
    EXPECT_FALSE(fs::exists(installed())) << c.what;
  }
  // A directory in the way of one file stops the whole copy before any file lands.
  fs::create_directories(installed() + "DD27.BIN");
  const ToolRun blocked = install({"--force"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_TRUE(contains(blocked.err, "DD27.BIN is a directory")) << blocked.err;
  EXPECT_EQ(directoryEntries(installed()), std::vector<std::string>{"DD27.BIN"});
}

TEST_F(InstallRoms, ASetThatCannotSoundEndsWithStatusOne) {
  writeBytes(source.path() + "Midi_DD2.BIN", *demo.allFiles().at("Midi_DD2"));
  const ToolRun run = install({source.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(contains(run.out, "Verdict: silent")) << run.out;
  EXPECT_EQ(directoryEntries(installed()), std::vector<std::string>{"Midi_DD2.BIN"});
}
