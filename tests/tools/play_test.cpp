// `sarn2 play` against private JACK servers: what a musician hears equals
// what `sarn2 render` makes of the same events, connections, the ending on
// a signal or with the server, and the failures.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <regex>

#include "tests/support/temp_rom_dir.h"
#include "tests/tools/jack_server.h"
#include "tests/tools/smf_writer.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;
constexpr double kExitSeconds = 15.0;

struct PlaySession {
  PrivateJackServer server{kRate, kPeriod};
  testhost::TempDir work, roms;
  std::string client = "sarn2_under_test";

  PlaySession() { EXPECT_TRUE(romset::demoRomSet().write(roms.path())); }
  std::string path(const std::string& name) const { return work.path() + name; }
  std::vector<std::string> environment() const {
    auto env = server.environment();
    auto data = privateDataHome(work);
    env.insert(env.end(), data.begin(), data.end());
    return environmentWith(env);
  }
  std::unique_ptr<Process> play(std::vector<std::string> args) const {
    std::vector<std::string> argv = {SARN2_TOOL_PATH, "play", "--name", client, "--rom-dir", roms.path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<Process>(argv, environment());
  }
  ToolRun keyboard(std::vector<std::string> args) const {
    std::vector<std::string> argv = {JACK_TEST_KEYBOARD};
    argv.insert(argv.end(), args.begin(), args.end());
    Process process(argv, environment());
    EXPECT_TRUE(process.wait(60.0));
    return process.result();
  }
};

uint64_t numberAfter(const std::string& text, const std::string& label) {
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(label + " (\\d+)"))) return UINT64_MAX;
  return std::stoull(match[1]);
}

// Frequency from rising zero crossings, interpolated between samples.
double frequency(const std::vector<float>& x, size_t from, size_t to) {
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (size_t i = from + 1; i < to && i < x.size(); ++i) {
    if (!(x[i - 1] < 0.0f && x[i] >= 0.0f)) continue;
    const double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
    if (first < 0.0) first = at;
    last = at;
    ++crossings;
  }
  return crossings > 1 ? (crossings - 1) * kRate / (last - first) : 0.0;
}

}  // namespace

// One session of notes at chosen frames, with running status, system
// messages and more messages in one period than it carries, recorded
// from out_1 and compared with render of the same messages.
TEST(Play, SessionEqualsRenderOfTheSameEventsBitForBit) {
  PlaySession s;
  ASSERT_TRUE(s.server.ready());
  auto play = s.play({"--no-connect", "--save-state", s.path("end.state")});

  // Frames are multiples of 50 so that each is a whole tick of the file
  // below (480 ticks per beat at 120 bpm: 50 samples at 48 kHz).
  constexpr uint32_t kBurstFrame = 20000, kBurst = 520, kCarried = 512;
  const ToolRun keys = s.keyboard({"--midi-to", s.client + ":midi_in",
                                   "--record",  s.client + ":out_1",
                                   "--frames",  "48000",
                                   "-o",        s.path("live.wav"),
                                   "--event",   "0:C003",
                                   "--event",   "100:904564",
                                   "--event",   "5000:9048504C50",
                                   "--event",   "7000:F07E7F0901F7",
                                   "--event",   "7000:F8",
                                   "--event",   "9000:E00050",
                                   "--event",   "12000:80450048004C00",
                                   "--burst",   "20000:520:B00764"});
  ASSERT_EQ(keys.status, 0) << keys.out << keys.err;
  ASSERT_EQ(numberAfter(keys.out, "sent"), 7 + kBurst) << keys.out;

  play->signal(SIGTERM);
  ASSERT_TRUE(play->wait(kExitSeconds));
  const ToolRun& run = play->result();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(
      run.out.find("527 MIDI events (520 channel messages played, 2 other messages not sent), 8 dropped"),
      std::string::npos)
      << run.out;
  // The state as playing left it: program 3, bend 0x50 0x00 = +0.25.
  const std::vector<uint8_t> state = readBytes(s.path("end.state"));
  ASSERT_EQ(state.size(), 20u);
  int32_t preset = 0;
  float bend = 0.0f;
  std::memcpy(&preset, state.data(), 4);
  std::memcpy(&bend, state.data() + 12, 4);
  EXPECT_EQ(preset, 3);
  EXPECT_EQ(bend, 0.25f);

  std::vector<SmfEvent> track = {{0, {0xC0, 0x03}},         {2, {0x90, 0x45, 0x64}},
                                 {100, {0x90, 0x48, 0x50}}, {100, {0x90, 0x4C, 0x50}},
                                 {180, {0xE0, 0x00, 0x50}}, {240, {0x80, 0x45, 0x00}},
                                 {240, {0x80, 0x48, 0x00}}, {240, {0x80, 0x4C, 0x00}}};
  for (uint32_t i = 0; i < kCarried; ++i) track.push_back({kBurstFrame / 50, {0xB0, 0x07, 0x64}});
  writeSmf(s.path("same.mid"), 0, 480, {track});
  const ToolRun render = runSarn2({"render", s.path("same.mid"), "-o", s.path("render.wav"), "--rate",
                                   "48000", "--block", "256", "--tail", "1", "--rom-dir", s.roms.path()});
  ASSERT_EQ(render.status, 0) << render.err;

  const Wav live = readWav(s.path("live.wav")), offline = readWav(s.path("render.wav"));
  ASSERT_EQ(live.samples.size(), 48000u);
  ASSERT_GE(offline.samples.size(), live.samples.size());
  size_t firstDifference = live.samples.size();
  for (size_t i = 0; i < live.samples.size() && firstDifference == live.samples.size(); ++i)
    if (std::memcmp(&live.samples[i], &offline.samples[i], sizeof(float)) != 0) firstDifference = i;
  EXPECT_EQ(firstDifference, live.samples.size())
      << "live " << live.samples[firstDifference] << " render " << offline.samples[firstDifference];

  // Note 69 alone, between its note-on and the chord: the pitch render gives at 48 kHz.
  const double livePitch = frequency(live.samples, 1000, 4900),
               renderPitch = frequency(offline.samples, 1000, 4900);
  EXPECT_GT(renderPitch, 400.0);
  EXPECT_NEAR(livePitch, renderPitch, renderPitch * 1e-4);
}

// Without --no-connect: a physical keyboard that appears after the player
// is connected, and the mono output goes to both playback ports; with
// --midi-from, a matching port is connected although not physical.
TEST(Play, ConnectsKeyboardsAsTheyAppearAndTheOutputToBothSides) {
  PlaySession s;
  ASSERT_TRUE(s.server.ready());
  struct Case {
    std::vector<std::string> playArgs, keyboardArgs;
  };
  for (const Case& c :
       {Case{{}, {"--name", "usb_keys"}},
        Case{{"--midi-from", "^virtual_keys:"}, {"--name", "virtual_keys", "--not-physical"}}}) {
    auto play = s.play(c.playArgs);
    ASSERT_TRUE(waitForJackPort(s.server.name(), s.client + ":midi_in", 10.0));
    std::vector<std::string> args = c.keyboardArgs;
    for (const char* a : {"--wait-connected", "--list-connections"}) args.emplace_back(a);
    args.push_back(s.client + ":out_1");
    const ToolRun keys = s.keyboard(args);
    EXPECT_EQ(keys.status, 0) << "not connected: " << c.keyboardArgs[1];
    EXPECT_NE(keys.out.find("connection system:playback_1\nconnection system:playback_2\n"),
              std::string::npos)
        << keys.out;
    play->signal(SIGINT);
    ASSERT_TRUE(play->wait(kExitSeconds));
    EXPECT_EQ(play->result().status, 0) << play->result().err;
  }
}

// A new period from the server: the plug-in is set up again off the audio
// thread and keeps playing the note held across the change.
TEST(Play, FollowsAPeriodChangeOfTheServer) {
  PlaySession s;
  ASSERT_TRUE(s.server.ready());
  auto play = s.play({"--no-connect"});
  const ToolRun note = s.keyboard({"--midi-to", s.client + ":midi_in", "--event", "0:904564"});
  ASSERT_EQ(note.status, 0) << note.err;
  ASSERT_TRUE(s.server.setPeriod(64));
  const ToolRun keys = s.keyboard(
      {"--record", s.client + ":out_1", "--frames", "4800", "-o", s.path("after.wav"), "--hold", "0.2"});
  ASSERT_EQ(keys.status, 0) << keys.err;
  play->signal(SIGTERM);
  ASSERT_TRUE(play->wait(kExitSeconds));
  EXPECT_NE(play->result().out.find("in periods of 64 frames"), std::string::npos) << play->result().out;
  // Held note, no period left silent.
  const std::vector<float> after = readWav(s.path("after.wav")).samples;
  ASSERT_EQ(after.size(), 4800u);
  for (size_t p = 0; p < after.size(); p += 64)
    EXPECT_TRUE(std::any_of(after.begin() + p, after.begin() + p + 64, [](float x) { return x != 0.0f; }))
        << "silent period at " << p;
}

// A server that goes away ends the session with a message, status 1, and
// the state still saved.
TEST(Play, ServerGoingAwayEndsPlayWithTheStateSaved) {
  PlaySession s;
  ASSERT_TRUE(s.server.ready());
  auto play = s.play({"--no-connect", "--preset", "7", "--save-state", s.path("s.state")});
  ASSERT_TRUE(waitForJackPort(s.server.name(), s.client + ":midi_in", 10.0));
  ASSERT_TRUE(s.server.stop());
  ASSERT_TRUE(play->wait(kExitSeconds));
  const ToolRun& run = play->result();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the JACK server went away"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("0 MIDI events"), std::string::npos) << run.out;
  const std::vector<uint8_t> state = readBytes(s.path("s.state"));
  ASSERT_EQ(state.size(), 20u);
  EXPECT_EQ(state[0], 7);
}

// No server: one message saying how to start one, status 1, and no server
// started behind the user's back (JACK_NO_START_SERVER is not set here).
TEST(Play, NoServerGivesOneMessageAndStartsNone) {
  const std::string name = "sarn2test-absent-" + std::to_string(getpid());
  const ToolRun run = runSarn2({"play", "--no-connect"}, {{"JACK_DEFAULT_SERVER", name}});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("no JACK server is running"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("jackd -d alsa"), std::string::npos) << run.err;
  EXPECT_FALSE(waitForJackPort(name, "system:playback_1", 0.0));
}

// Mistakes fail as they do for render, before anything plays.
TEST(Play, BadLibraryStateAndOptionsFailAsForRender) {
  PlaySession s;
  ASSERT_TRUE(s.server.ready());
  writeBytes(s.path("short.state"), std::vector<uint8_t>(19, 0));
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const std::string roms = s.roms.path();
  for (const Case& c :
       {Case{{"--plugin", SARN2_NO_ENTRY_LIBRARY}, 1, "exports no entry point"},
        Case{{"--rom-dir", roms, "--load-state", s.path("short.state")}, 1, "keeps a state of 20 bytes"},
        Case{{"--save-state", s.path("no/dir/s.state")}, 1, "does not exist"},
        Case{{"--rom-dir", s.path("nowhere")}, 1, "ROM directory"},
        Case{{"--rom-dir", s.work.path()}, 1, "only silence"}, Case{{"--preset", "32"}, 2, "--preset"},
        Case{{"--filter", "maybe"}, 2, "--filter"}}) {
    std::vector<std::string> args = {"play", "--no-connect"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto env = s.server.environment();
    const ToolRun run = runSarn2(args, env);
    EXPECT_EQ(run.status, c.status) << c.args.back() << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}
