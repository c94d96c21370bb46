// Reading ROM files where the file system misbehaves, and where an instance
// looks for them: cases only Linux can stage (pipes, cookie streams, device
// files, the XDG environment).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "instrument/engine/rom_loader.h"
#include "instrument/rom_directory.h"
#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/romset/romset.h"

using namespace sarn2;

using testhost::ScopedEnv;
using testhost::TempDir;

namespace {

// A stream whose size query and reads are scripted: it claims `size` bytes
// at its end but delivers at most `deliver` of them, all 0x5A.
struct ScriptedStream {
  long size;
  long deliver;
  bool seekFails;
  long position = 0;
  long delivered = 0;
  bool closed = false;
};

ssize_t scriptedRead(void* cookie, char* buffer, size_t wanted) {
  auto* s = static_cast<ScriptedStream*>(cookie);
  const long left = s->deliver - s->delivered;
  const size_t n = left <= 0 ? 0 : std::min(wanted, static_cast<size_t>(left));
  std::memset(buffer, 0x5A, n);
  s->delivered += static_cast<long>(n);
  s->position += static_cast<long>(n);
  return static_cast<ssize_t>(n);
}

int scriptedSeek(void* cookie, off64_t* offset, int whence) {
  auto* s = static_cast<ScriptedStream*>(cookie);
  if (s->seekFails) return -1;
  const long base = whence == SEEK_END ? s->size : (whence == SEEK_CUR ? s->position : 0);
  s->position = base + static_cast<long>(*offset);
  *offset = s->position;
  return 0;
}

int scriptedClose(void* cookie) {
  static_cast<ScriptedStream*>(cookie)->closed = true;
  return 0;
}

std::FILE* openScripted(ScriptedStream& stream) {
  cookie_io_functions_t io{};
  io.read = scriptedRead;
  io.seek = scriptedSeek;
  io.close = scriptedClose;
  return fopencookie(&stream, "rb", io);
}

void writeDemo(const std::string& directory) { ASSERT_TRUE(romset::demoRomSet().write(directory)); }

}  // namespace

TEST(ReadWholeFile, AShortReadLeavesTheRestZero) {
  ScriptedStream stream{100, 40, false};
  std::vector<uint8_t> bytes;
  const RomFileOutcome outcome = readWholeFile(openScripted(stream), bytes);
  EXPECT_EQ(outcome.status, RomFileStatus::shortRead);
  EXPECT_EQ(outcome.size, 100);
  EXPECT_EQ(outcome.bytesRead, 40);
  ASSERT_EQ(bytes.size(), 100u);
  EXPECT_EQ(bytes[0], 0x5A);
  EXPECT_EQ(bytes[39], 0x5A);
  for (size_t i = 40; i < 100; ++i) EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_TRUE(stream.closed);
}

TEST(ReadWholeFile, ASizeThatCannotBeFoundOrIsZeroAddsNothingButStillCloses) {
  ScriptedStream failing{100, 100, true};
  std::vector<uint8_t> bytes;
  EXPECT_EQ(readWholeFile(openScripted(failing), bytes).status, RomFileStatus::unreadable);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(failing.closed);
  EXPECT_EQ(failing.delivered, 0);

  ScriptedStream empty{0, 100, false};
  const RomFileOutcome none = readWholeFile(openScripted(empty), bytes);
  EXPECT_EQ(none.status, RomFileStatus::found);
  EXPECT_EQ(none.size, 0);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(empty.closed);

  // A pipe cannot seek at all.
  std::FILE* pipe = popen("printf 'ROM bytes'", "r");
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(readWholeFile(pipe, bytes).status, RomFileStatus::unreadable);
  EXPECT_TRUE(bytes.empty());

  EXPECT_EQ(readWholeFile(nullptr, bytes).status, RomFileStatus::missing);
  EXPECT_TRUE(bytes.empty());
}

TEST(ReadWholeFile, SizesAbove16MiBAreNotRead) {
  ScriptedStream huge{16L * 1024 * 1024 + 1, 0, false};
  std::vector<uint8_t> bytes;
  const RomFileOutcome outcome = readWholeFile(openScripted(huge), bytes);
  EXPECT_EQ(outcome.status, RomFileStatus::tooLarge);
  EXPECT_EQ(outcome.size, 16L * 1024 * 1024 + 1);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(huge.closed);
}

TEST(RomFiles, PipesDevicesAndUnreadableFilesAreSkippedWithoutBlocking) {
  TempDir dir;
  romset::RomSet set = romset::demoRomSet();
  for (const char* name : {"DD16", "DD27", "DD28"}) set.remove(name);
  ASSERT_TRUE(set.write(dir.path()));
  // A named pipe would block a plain open until some writer came along.
  const std::string fifo = dir.path() + "DD16.BIN";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir.path() + "DD27.BIN").c_str()), 0);
  ASSERT_EQ(symlink((dir.path() + "DD1.BIN").c_str(), (dir.path() + "DD28.BIN").c_str()), 0);

  auto loading = std::async(std::launch::async, [&] { return loadRoms(dir.path()); });
  if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Release the stuck reader so that the test can end, then fail.
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
    FAIL() << "loading blocked on a named pipe";
  }
  const RomLoad load = loading.get();
  // DD1, DD2, DD13, DD14, DD18, DD19, Midi_DD2, and DD28 through its link.
  EXPECT_EQ(load.tables.romImage.size(), 8u * 2048u);
  EXPECT_EQ(load.tables.pitchTable.size(), 2048u);
  EXPECT_EQ(load.files[4].status, RomFileStatus::deviceOrPipe);  // DD16, the pipe
  EXPECT_EQ(load.files[7].status, RomFileStatus::deviceOrPipe);  // DD27, the device
  EXPECT_EQ(load.files[8].status, RomFileStatus::found);         // DD28
  EXPECT_EQ(load.files[8].imageStart, 6 * 2048);
}

TEST(RomFiles, AnUnreadableFileIsSkipped) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  writeDemo(dir.path());
  ASSERT_EQ(chmod((dir.path() + "DD2.BIN").c_str(), 0), 0);
  const RomLoad load = loadRoms(dir.path());
  EXPECT_TRUE(load.tables.pitchTable.empty());
  EXPECT_EQ(load.tables.romImage.size(), 9u * 2048u);
  EXPECT_EQ(load.files[1].status, RomFileStatus::unreadable);
  EXPECT_EQ(load.files[1].errorNumber, EACCES);
}

TEST(RomDirectory, UserDirectoryFollowsXdgDataHomeThenHome) {
  struct Case {
    const char* dataHome;
    const char* home;
    const char* expected;
  };
  // A relative path would tie the ROM set to the host's working directory.
  const Case cases[] = {{"/data/xdg", "/home/someone", "/data/xdg/sarn2/roms/"},
                        {"", "/home/someone", "/home/someone/.local/share/sarn2/roms/"},
                        {nullptr, "/home/someone", "/home/someone/.local/share/sarn2/roms/"},
                        {"relative/data", "/home/someone", "/home/someone/.local/share/sarn2/roms/"},
                        {nullptr, "relative", ""},
                        {nullptr, nullptr, ""}};
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_DATA_HOME", c.dataHome);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(userRomDirectory(), c.expected) << (c.dataHome ? c.dataHome : "(unset)");
  }
  TempDir noSystemSet;
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  ScopedEnv home("HOME", nullptr);
  ScopedEnv dirs("XDG_DATA_DIRS", noSystemSet.path().c_str());
  EXPECT_EQ(romDirectory(), "");
  Sarn2VST vst(nullptr);  // no directory at all: no ROMs, never the working directory
  EXPECT_TRUE(vst.engine().roms().romImage.empty());
}

TEST(RomDirectory, SystemDirectoriesFollowXdgDataDirs) {
  using List = std::vector<std::string>;
  const List standard = {"/usr/local/share/sarn2/roms/", "/usr/share/sarn2/roms/"};
  {
    ScopedEnv dirs("XDG_DATA_DIRS", nullptr);
    EXPECT_EQ(systemRomDirectories(), standard);
  }
  {
    ScopedEnv dirs("XDG_DATA_DIRS", "");
    EXPECT_EQ(systemRomDirectories(), standard);
  }
  {
    ScopedEnv dirs("XDG_DATA_DIRS", "/opt/a:relative::/opt/b/");
    EXPECT_EQ(systemRomDirectories(), (List{"/opt/a/sarn2/roms/", "/opt/b//sarn2/roms/"}));
  }
}

TEST(RomDirectory, FallsBackToTheFirstSystemDirectoryHoldingAnyFileAndNeverMixesSets) {
  // Directories under one root: the user's and three system ones; each case
  // lists the files it puts in each, and the directory an instance then reads.
  struct Case {
    const char* what;
    std::vector<std::string> user, first, second;
    const char* expected;  // "user", "first" or "second"
    size_t imageBytes;     // the instance reads exactly that one directory's files
  };
  const std::vector<std::string> all(romset::fileNames().begin(), romset::fileNames().end());
  const Case cases[] = {
      {"one user file wins over a whole system set", {"DD27"}, all, all, "user", 2048},
      {"an empty user directory falls back", {}, all, {}, "first", 20480},
      {"the first system directory holding one file wins", {}, {"Midi_DD2"}, all, "first", 2048},
      {"a system directory without files is passed over", {}, {}, all, "second", 20480},
      {"a name in other case does not count", {"dd1"}, {}, all, "second", 20480},
      {"nothing anywhere names the user directory", {}, {}, {}, "user", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir root;
    const std::string user = root.path() + "home/sarn2/roms/";
    const std::string first = root.path() + "first/sarn2/roms/";
    const std::string second = root.path() + "second/sarn2/roms/";
    romset::RomSet demo = romset::demoRomSet();
    const auto place = [&](const std::string& dir, const std::vector<std::string>& names) {
      std::filesystem::create_directories(dir);
      for (const std::string& name : names) {
        const std::vector<uint8_t>& bytes = *demo.file(name == "dd1" ? "DD1" : name);
        FILE* f = std::fopen((dir + name + (name == "dd1" ? ".bin" : ".BIN")).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
      }
    };
    place(user, c.user);
    place(first, c.first);
    place(second, c.second);
    // An entry that holds a directory named like a ROM file does not count either.
    std::filesystem::create_directories(root.path() + "decoy/sarn2/roms/DD1.BIN");
    ScopedEnv xdg("XDG_DATA_HOME", (root.path() + "home").c_str());
    const std::string list =
        "relative:" + root.path() + "decoy:" + root.path() + "first:" + root.path() + "second";
    ScopedEnv dirs("XDG_DATA_DIRS", list.c_str());
    const std::string expected = std::string(c.expected) == "user"    ? user
                                 : std::string(c.expected) == "first" ? first
                                                                      : second;
    EXPECT_EQ(romDirectory(), expected);
    Sarn2VST vst(nullptr);
    EXPECT_EQ(vst.engine().roms().romImage.size(), c.imageBytes);
  }
}

TEST(RomDirectory, IsResolvedAgainAtEveryConstruction) {
  TempDir withRoms;
  TempDir withoutRoms;
  writeDemo(withRoms.path() + "sarn2/roms/");
  ScopedEnv home("HOME", "/nonexistent");
  ScopedEnv dirs("XDG_DATA_DIRS", withoutRoms.path().c_str());
  {
    ScopedEnv xdg("XDG_DATA_HOME", withRoms.path().c_str());
    Sarn2VST vst(nullptr);
    EXPECT_EQ(vst.engine().roms().romImage.size(), 20480u);
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", withoutRoms.path().c_str());
    Sarn2VST vst(nullptr);
    EXPECT_TRUE(vst.engine().roms().romImage.empty());
  }
}
