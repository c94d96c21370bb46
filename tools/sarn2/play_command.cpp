#include "tools/sarn2/play_command.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "tools/host/hosted_plugin.h"
#include "tools/sarn2/jack_player.h"
#include "tools/sarn2/live_plugin.h"
#include "tools/sarn2/output_file.h"
#include "tools/sarn2/render_command.h"
#include "tools/sarn2/render_rom_check.h"
#include "tools/sarn2/rom_dir_override.h"
#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

constexpr const char* kHostName = "sarn2 play";
constexpr auto kServicePeriod = std::chrono::milliseconds(20);
constexpr auto kStatusPeriod = std::chrono::milliseconds(100);

volatile sig_atomic_t stopSignal = 0;
struct sigaction previousActions[3];
constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};

// The first signal asks the main loop to finish the session; a second one
// gets the earlier handler, which removes temporary files and ends the
// program, in case the ending hangs.
void onStopSignal(int signalNumber) {
  if (stopSignal == 0) {
    stopSignal = signalNumber;
    return;
  }
  for (size_t i = 0; i < kStopSignals.size(); ++i)
    if (kStopSignals[i] == signalNumber) sigaction(signalNumber, &previousActions[i], nullptr);
  raise(signalNumber);
}

void installStopHandlers() {
  stopSignal = 0;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kStopSignals.size(); ++i) sigaction(kStopSignals[i], &action, &previousActions[i]);
}

std::string decibels(double level) {
  if (level <= 0.0) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f dBFS", 20.0 * std::log10(level));
  return text;
}

// Notes held per channel, as the main thread learns of them.
class HeldNotes {
 public:
  void apply(const LiveReport& report) {
    bool& key = held_[report.channel & 0x0F][report.note & 0x7F];
    const bool on = report.kind == LiveReport::Kind::noteOn;
    if (on != key) count_ += on ? 1 : -1;
    key = on;
  }
  int count() const { return count_; }

 private:
  bool held_[16][128] = {};
  int count_ = 0;
};

// The one status line on a terminal, redrawn in place.
class StatusLine {
 public:
  explicit StatusLine(bool enabled) : enabled_(enabled) {}
  void show(const std::string& text) {
    if (!enabled_) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  // A note of its own line, above the status line.
  void note(const std::string& text) {
    if (!enabled_) return;
    clear();
    std::fprintf(stderr, "sarn2: %s\n", text.c_str());
  }
  void clear() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
    shown_ = false;
  }

 private:
  bool enabled_;
  bool shown_ = false;
};

}  // namespace

int runPlay(const PlayOptions& options) {
  const PluginSetup& setup = options.setup;
  // As for render: everything that can be checked is checked before the
  // session starts, and the state file exists only under a temporary name
  // until it is complete.
  std::vector<uint8_t> loadedState;
  if (!setup.loadStatePath.empty()) loadedState = readStateFile(setup.loadStatePath);
  const std::string pluginPath = setup.pluginPath.empty() ? defaultPluginPath() : setup.pluginPath;
  std::unique_ptr<OutputFile> stateOut;
  if (!setup.saveStatePath.empty()) stateOut = std::make_unique<OutputFile>(setup.saveStatePath);
  std::unique_ptr<RomDirOverride> romOverride;
  if (!setup.romDirectory.empty()) romOverride = std::make_unique<RomDirOverride>(setup.romDirectory);

  installStopHandlers();
  auto player = std::make_unique<JackPlayer>(options.clientName);
  const std::string client = player->clientName();

  // The plug-in runs at the server's rate and period.
  auto plugin =
      std::make_unique<pluginhost::HostedPlugin>(pluginPath, static_cast<float>(player->sampleRate()),
                                                 static_cast<int32_t>(player->bufferSize()), kHostName);
  const std::string name = fs::path(pluginPath).filename().string();
  // Without ROM files the instrument would play only silence.
  if (plugin->effectName() == kSarn2EffectName) checkInstrumentFindsRoms(setup.romDirectory);
  applyPluginSetup(plugin->instance(), setup, loadedState, name);
  plugin->instance().setProcessing(true);
  LivePlugin live(plugin->instance(), static_cast<int32_t>(player->bufferSize()),
                  JackPlayer::kEventsPerPeriod);

  // However the session ends, even by an exception, the client stops
  // before the plug-in it drives is closed.
  struct StopPlayerFirst {
    std::unique_ptr<JackPlayer>& player;
    ~StopPlayerFirst() {
      if (player) player->stop();
    }
  } stopPlayerFirst{player};

  StatusLine status(isatty(STDERR_FILENO) != 0);
  player->notice = [&status](const std::string& text) { status.note(text); };
  player->start(live);
  if (options.connect) player->connect(options.midiFrom);

  const auto started = std::chrono::steady_clock::now();
  auto lastStatus = started;
  HeldNotes held;
  int voicesAtLastNote = 0;
  bool toldPeriodTooLong = false;
  while (stopSignal == 0 && !player->serverGone()) {
    player->service([&](const LiveReport& report) {
      switch (report.kind) {
        case LiveReport::Kind::noteOn:
        case LiveReport::Kind::noteOff:
          held.apply(report);
          voicesAtLastNote = held.count();
          break;
        case LiveReport::Kind::eventsDropped:
          status.note(std::to_string(report.count) + " MIDI messages dropped in one period");
          break;
        case LiveReport::Kind::periodTooLong:
          if (!toldPeriodTooLong)
            status.note(
                "a period of " + std::to_string(report.count) +
                " frames is longer than the plug-in was set up for; silence until it is set up again");
          toldPeriodTooLong = true;
          break;
      }
    });
    const auto now = std::chrono::steady_clock::now();
    if (now - lastStatus >= kStatusPeriod) {
      lastStatus = now;
      const LiveCounters c = player->counters();
      char text[256];
      std::snprintf(text, sizeof(text), "%s  %u Hz, %u frames  events %llu  voices %d  peak %s  xruns %llu",
                    client.c_str(), player->sampleRate(), player->bufferSize(),
                    static_cast<unsigned long long>(c.midiEvents), voicesAtLastNote,
                    decibels(player->takeRecentPeak()).c_str(), static_cast<unsigned long long>(c.xruns));
      status.show(text);
    }
    std::this_thread::sleep_for(kServicePeriod);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const bool serverGone = player->serverGone();
  const std::string reason = player->shutdownReason();
  status.clear();

  // Deactivate, take the state as it is now, close the library, then write.
  player->stop();
  std::vector<uint8_t> finalState;
  if (stateOut) finalState = plugin->instance().chunk();
  plugin.reset();
  const LiveCounters c = player->counters();
  const float dspLoad = player->dspLoad();
  const uint32_t rate = player->sampleRate(), period = player->bufferSize();
  player.reset();

  if (serverGone)
    std::fprintf(stderr, "sarn2: error: the JACK server went away%s%s; playing stopped\n",
                 reason.empty() ? "" : ": ", reason.c_str());
  std::printf(
      "%s: played %.1f s at %u Hz in periods of %u frames: %llu MIDI events (%llu channel messages played, "
      "%llu other messages not sent), %llu dropped, %llu xruns, peak %.4f (%s)\n",
      client.c_str(), seconds, rate, period, static_cast<unsigned long long>(c.midiEvents),
      static_cast<unsigned long long>(c.sentMessages), static_cast<unsigned long long>(c.otherMessages),
      static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.xruns), c.peak,
      decibels(c.peak).c_str());
  const double periodMicros = 1e6 * period / rate;
  const double meanMicros = c.periods > 0 ? c.processNanos / 1e3 / static_cast<double>(c.periods) : 0.0;
  std::printf(
      "load: JACK DSP load %.2f%%; host %.1f us per period on average, %.1f us at most, of %.0f us "
      "(%.2f%%)\n",
      dspLoad, meanMicros, c.processNanosMax / 1e3, periodMicros,
      periodMicros > 0 ? 100.0 * meanMicros / periodMicros : 0.0);
  std::fflush(stdout);
  // After the summary, so that a state file that cannot be written does not
  // hide what was played.
  if (stateOut) {
    stateOut->writeAndCommit(finalState.data(), finalState.size());
    std::printf("state saved to %s\n", setup.saveStatePath.c_str());
  }
  return serverGone ? kExitFailure : kExitOk;
}

}  // namespace sarn2tool
