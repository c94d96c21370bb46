// A real host plays the bundle: Debian's console jalv loads it by its URI
// on a private JACK server (dummy backend, a server name of this test's
// own), a JACK client of the test plays it a note and another records it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_rom_dir.h"
#include "tools/lv2/lv2_uris.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// A program started for the test, stopped with SIGTERM and waited for.
class Child {
 public:
  // With keepStdinOpen the child reads a pipe that stays open until stop().
  Child(const std::vector<std::string>& arguments, bool keepStdinOpen) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int input[2] = {-1, -1};
    if (keepStdinOpen && pipe(input) == 0) {
      posix_spawn_file_actions_adddup2(&actions, input[0], 0);
      posix_spawn_file_actions_addclose(&actions, input[1]);
      stdinWriter = input[1];
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (input[0] >= 0) close(input[0]);
  }
  ~Child() { stop(); }
  bool started() const { return pid > 0; }
  bool running() {
    if (pid <= 0) return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) return true;
    pid = -1;
    return false;
  }
  void stop() {
    if (stdinWriter >= 0) close(stdinWriter);
    stdinWriter = -1;
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
  }

 private:
  pid_t pid = -1;
  int stdinWriter = -1;
};

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return condition();
}

// The keyboard: a MIDI output that plays one note-on when asked.
struct Keys {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  std::atomic<bool> play{false};
  std::atomic<bool> played{false};

  static int process(jack_nframes_t frames, void* arg) {
    auto* keys = static_cast<Keys*>(arg);
    void* buffer = jack_port_get_buffer(keys->port, frames);
    jack_midi_clear_buffer(buffer);
    if (keys->play.load() && !keys->played.load()) {
      const jack_midi_data_t noteOn[3] = {0x90, 69, 100};
      jack_midi_event_write(buffer, frames / 3, noteOn, 3);
      keys->played.store(true);
    }
    return 0;
  }
};

// The recorder: keeps what reaches its input until its buffer is full.
struct Recorder {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  std::vector<float> samples = std::vector<float>(48000 * 2);
  std::atomic<size_t> filled{0};

  static int process(jack_nframes_t frames, void* arg) {
    auto* r = static_cast<Recorder*>(arg);
    const auto* in = static_cast<const float*>(jack_port_get_buffer(r->port, frames));
    size_t at = r->filled.load();
    for (jack_nframes_t i = 0; i < frames && at < r->samples.size(); ++i) r->samples[at++] = in[i];
    r->filled.store(at);
    return 0;
  }
};

jack_client_t* openClient(const char* name) {
  return jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), nullptr);
}

TEST(Jalv, LoadsTheBundleByItsUriAndPlaysANote) {
  testhost::PlatformRoms roms(romset::demoRomSet());
  const std::string server = "sarn2-jalv-test-" + std::to_string(getpid());
  testhost::ScopedEnv serverName("JACK_DEFAULT_SERVER", server.c_str());
  testhost::ScopedEnv lv2Path("LV2_PATH", SARN2_LV2_BUNDLE_PARENT ":/usr/lib/lv2");
  testhost::ScopedEnv noAutostart("JACK_NO_START_SERVER", "1");

  Child jackd({"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"}, false);
  ASSERT_TRUE(jackd.started()) << "jackd did not start";
  Keys keys;
  // Tries before the server is up would each print a complaint.
  jack_set_error_function([](const char*) {});
  ASSERT_TRUE(waitFor([&] { return (keys.client = openClient("keys")) != nullptr; }, 10s))
      << "no JACK server named " << server;
  Recorder recorder;
  recorder.client = openClient("recorder");
  ASSERT_NE(recorder.client, nullptr);
  keys.port = jack_port_register(keys.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  recorder.port = jack_port_register(recorder.client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(keys.client, &Keys::process, &keys);
  jack_set_process_callback(recorder.client, &Recorder::process, &recorder);

  Child jalv({"jalv", "-x", "-n", "sarn2", sarn2lv2::kPluginUri}, true);
  ASSERT_TRUE(jalv.started()) << "jalv did not start";
  ASSERT_TRUE(waitFor(
      [&] { return jack_port_by_name(keys.client, "sarn2:out") != nullptr || !jalv.running(); }, 10s));
  ASSERT_TRUE(jalv.running()) << "jalv exited: it could not load " << sarn2lv2::kPluginUri;
  ASSERT_EQ(jack_activate(keys.client), 0);
  ASSERT_EQ(jack_activate(recorder.client), 0);
  ASSERT_EQ(jack_connect(keys.client, "keys:out", "sarn2:midi_in"), 0);
  ASSERT_EQ(jack_connect(keys.client, "sarn2:out", "recorder:in"), 0);
  recorder.filled.store(0);

  // A fifth of a second of silence, then the note.
  ASSERT_TRUE(waitFor([&] { return recorder.filled.load() >= 9600; }, 10s));
  keys.play.store(true);
  ASSERT_TRUE(waitFor([&] { return recorder.filled.load() >= recorder.samples.size(); }, 20s));
  jack_deactivate(recorder.client);
  jack_deactivate(keys.client);
  EXPECT_TRUE(keys.played.load());

  size_t firstSound = recorder.samples.size();
  for (size_t i = 0; i < recorder.samples.size(); ++i) {
    const float s = recorder.samples[i];
    ASSERT_TRUE(std::isfinite(s) && s >= -1.0f && s <= 1.0f) << "sample " << i << " is " << s;
    if (s != 0.0f && firstSound == recorder.samples.size()) firstSound = i;
  }
  EXPECT_GE(firstSound, 9600u) << "sound before the note was played";
  ASSERT_LT(firstSound, recorder.samples.size()) << "jalv played the note but recorded silence";
  double energy = 0.0;
  for (size_t i = firstSound; i < firstSound + 4800; ++i)
    energy += double(recorder.samples[i]) * recorder.samples[i];
  EXPECT_GT(std::sqrt(energy / 4800), 0.01) << "the note is barely audible";

  jack_client_close(recorder.client);
  jack_client_close(keys.client);
  jalv.stop();
  jackd.stop();
}

}  // namespace
