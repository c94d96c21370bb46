// Broken and extreme input files, as careless or unlucky users hand them to
// sarn2: each is either read correctly or refused with one short message
// saying what is wrong and where, exit status 1 and no file left behind.
// The small files come from hostile/make_corpus.py; large ones are made here.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/smf_writer.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;

namespace {

const std::string kCorpus = std::string(SARN2_TOOL_TEST_DIR) + "/hostile/corpus/";

struct Case {
  std::string file;
  int status;
  std::string message;  // a fragment of stderr, or of stdout on success
};

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(romset::demoRomSet().write(roms.path())); }
  std::string path(const std::string& name) const { return work.path() + name; }

  ToolRun run(const std::string& command, const std::string& input, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {command, input, "-o"};
    if (command == "render") {
      args.push_back(path(soundName));
      args.insert(args.end(), {"--rom-dir", roms.path()});
      if (std::find(more.begin(), more.end(), "--tail") == more.end())
        args.insert(args.end(), {"--tail", "0"});
    } else {
      args.push_back(path("out.png"));
    }
    args.insert(args.end(), more.begin(), more.end());
    return runSarn2(args);
  }

  // The outcome, and for a refusal one line on stderr and nothing new in
  // the work directory.
  void expect(const std::string& command, const std::string& input, const Case& c,
              std::vector<std::string> more = {}) {
    SCOPED_TRACE(command + " " + input);
    const std::vector<std::string> before = directoryEntries(work.path());
    const ToolRun result = run(command, input, more);
    EXPECT_EQ(result.status, c.status) << result.err;
    const std::string& text = c.status == 0 ? result.out : result.err;
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    if (c.status == 1) {
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
      EXPECT_LT(result.err.size(), 300u) << result.err;
      EXPECT_EQ(directoryEntries(work.path()), before);
    }
    std::filesystem::remove(path(soundName));
    std::filesystem::remove(path("out.png"));
  }

  testhost::TempDir roms, work;
  std::string soundName = "out.wav";  // what render writes
};

}  // namespace

TEST_F(HostileInput, MidiFilesAreReadOrRefusedSaying) {
  const Case cases[] = {
      {"ok-format0.mid", 0, "0.10 s at 44100 Hz"},
      {"ok-format1-tempo-sysex-text.mid", 0, "0.10 s at 44100 Hz"},
      {"ok-no-end-of-track.mid", 0, "0.10 s at 44100 Hz"},
      {"ok-unknown-chunk.mid", 0, "0.10 s at 44100 Hz"},
      {"ok-tempo-in-two-tracks.mid", 0, "0.10 s at 44100 Hz"},
      {"tempo-length-0.mid", 1, "byte 23, track 1: tempo event of 0 bytes (a tempo event holds 3)"},
      {"tempo-length-4.mid", 1, "byte 23, track 1: tempo event of 4 bytes"},
      {"tempo-zero.mid", 1, "byte 23, track 1: tempo event of 0 microseconds per beat"},
      {"meta-past-track.mid", 1,
       "byte 31, track 1: meta event FF 01 declares 127 bytes but its track holds only 3"},
      {"meta-length-huge.mid", 1, "byte 33, track 1: variable-length quantity of more than four bytes"},
      {"vlq-five-bytes.mid", 1,
       "byte 22, track 1: variable-length quantity of more than four bytes in a delta"},
      {"running-status-none.mid", 1, "byte 23, track 1: data byte 0x45 with no status byte before it"},
      {"status-inside-data.mid", 1, "byte 25, track 1: status byte 0x90 where event 0x90 needs data"},
      {"sysex-past-track.mid", 1, "byte 23, track 1: system exclusive event declares 64 bytes"},
      {"event-cut.mid", 1, "byte 25, track 1: track ends inside a channel event"},
      {"system-status.mid", 1, "byte 23, track 1: status byte 0xF4, which a MIDI file cannot hold"},
      {"division-zero-format1.mid", 1, "byte 12: time division of 0 ticks per beat"},
      {"division-smpte.mid", 1,
       "byte 12: time division in SMPTE frames (25 frames per second) is not supported"},
      {"format2.mid", 1, "byte 8: format 2 (independent sequences, one per track) is not supported"},
      {"format0-two-tracks.mid", 1, "byte 10: format 0 header declares 2 tracks"},
      {"format-7.mid", 1, "byte 8: unknown format 7"},
      {"no-tracks.mid", 1, "byte 10: header declares no tracks"},
      {"missing-track.mid", 1, "byte 34: file ends after 1 of the 3 tracks its header declares"},
      {"track-length-past-end.mid", 1, "byte 14: track declares 65536 bytes but the file holds only 8 more"},
      {"header-cut.mid", 1, "byte 9: file ends inside its header"},
      {"header-length-huge.mid", 1, "byte 4: header of 4294967295 bytes"},
      {"riff.mid", 1, "byte 0: no MThd header (the file starts with 'RIFF')"},
      {"empty.mid", 1, "byte 0: no MThd header (the file is empty)"},
      {"note-77-hours.mid", 1, "lasts 277200.00 s (77:00:00), longer than the 3600.00 s allowed"},
  };
  for (const Case& c : cases) expect("render", kCorpus + c.file, c);
}

TEST_F(HostileInput, PlotWavDrawsAnyFileLibsndfileReads) {
  const Case cases[] = {
      {"rate-1hz.wav", 0, "drew 50.00 s of"},
      {"rate-7hz.wav", 0, "drew 14.29 s of"},
      {"no-frames.wav", 0, "drew 0.00 s of"},
      {"one-frame.wav", 0, "drew 0.00 s of"},
      {"inf-and-nan.wav", 0, "inf-and-nan.wav; 1 NaN and 2 infinite samples marked"},
      {"stereo.wav", 0, "drew 0.05 s of"},
      {"not-a-wav.wav", 1, "cannot open " + kCorpus + "not-a-wav.wav as a sound file: Format not recognised"},
      {"wav-header-only.wav", 1, "as a sound file: Error in WAV/W64/RF64 file. Malformed 'fmt ' chunk."},
  };
  for (const Case& c : cases) expect("plot-wav", kCorpus + c.file, c);
}

TEST_F(HostileInput, LengthLimitHasAnExactEdgeAndAnOption) {
  const std::string piece = kCorpus + "ok-format0.mid";  // exactly 0.10 s
  expect("render", piece, {"", 0, "0.10 s at 44100 Hz"}, {"--max-length", "0.1"});
  expect("render", piece,
         {"", 1,
          "lasts 0.10 s (0:00:00), longer than the 0.09 s allowed; if that is meant, "
          "allow it with --max-length SECONDS"},
         {"--max-length", "0.09"});
  // An automatic tail counts at its longest.
  expect("render", piece, {"", 1, "and its tail up to 30.00 s more, longer than the 10.00 s allowed"},
         {"--max-length", "10", "--tail", "auto"});
  expect("render", piece, {"", 2, "--max-length"}, {"--max-length", "0"});
  // Allowed, but more than an AIFF header can describe: refused before any work.
  soundName = "out.aiff";
  expect("render", kCorpus + "note-77-hours.mid",
         {"", 1, "out.aiff: 48898080000 bytes of sound are more than the 4 GiB an AIFF file can describe"},
         {"--max-length", "300000"});
}

TEST_F(HostileInput, SpecialFilesAreRefusedAtOnce) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  const std::string good = kCorpus + "ok-format0.mid";
  expect("render", path("pipe"), {"", 1, "MIDI file " + path("pipe") + " is a named pipe (FIFO)"});
  expect("render", work.path(), {"", 1, " is a directory, not a file that can be read"});
  expect("render", "/dev/zero", {"", 1, "MIDI file /dev/zero is a character device"});
  expect("render", good, {"", 1, "state file " + path("pipe") + " is a named pipe"},
         {"--load-state", path("pipe")});
  expect("render", good, {"", 1, "plug-in library " + path("pipe") + " is a named pipe"},
         {"--plugin", path("pipe")});
  expect("plot-wav", path("pipe"), {"", 1, "WAV file " + path("pipe") + " is a named pipe (FIFO)"});
  expect("plot-wav", work.path(), {"", 1, " is a directory"});
}

TEST_F(HostileInput, LargeFilesReadInLinearTime) {
  // A 5 MB text event, then 100,000 events: 50,000 notes of 10 ticks.
  std::vector<SmfEvent> events = {{0, {0xFF, 0x01, 0x82, 0xB1, 0x96, 0x40}}};  // 5,000,000 bytes follow
  events[0].bytes.resize(events[0].bytes.size() + 5000000, 'x');
  for (uint32_t i = 0; i < 50000; ++i) {
    events.push_back({10 * i, {0x90, static_cast<uint8_t>(40 + i % 40), 0x64}});
    events.push_back({10 * i + 10, {0x80, static_cast<uint8_t>(40 + i % 40), 0x00}});
  }
  writeSmf(path("large.mid"), 0, 480, {events});
  const auto started = std::chrono::steady_clock::now();
  // 500,000 ticks at 960 ticks a second.
  expect("render", path("large.mid"), {"", 0, "520.83 s at 44100 Hz"});
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 10.0);
}
