#include "tools/sarn2/render_command.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "tools/host/hosted_plugin.h"
#include "tools/sarn2/midi_schedule.h"
#include "tools/sarn2/render_progress.h"
#include "tools/sarn2/render_rom_check.h"
#include "tools/sarn2/rom_dir_override.h"
#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

constexpr const char* kHostName = "sarn2 render";
constexpr double kSilenceLevel = 1e-6;
constexpr double kSilenceSeconds = 0.5;
constexpr double kMaxAutoTailSeconds = 30.0;

std::string decibels(double level) {
  if (level <= 0.0) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f dBFS", 20.0 * std::log10(level));
  return text;
}

// What the options and files ask for, read and checked before any output
// file or plug-in is touched.
struct RenderInputs {
  std::vector<uint8_t> loadedState;
  MidiSchedule schedule;
  std::string pluginPath;
};

RenderInputs readInputs(const RenderOptions& options) {
  RenderInputs inputs;
  const PluginSetup& setup = options.setup;
  if (!setup.loadStatePath.empty()) inputs.loadedState = readStateFile(setup.loadStatePath);
  inputs.schedule = readMidiSchedule(options.midiPath, options.sampleRate);
  inputs.pluginPath = setup.pluginPath.empty() ? defaultPluginPath() : setup.pluginPath;
  return inputs;
}

// Loads the state file, then applies the options over it. Returns the
// state to save: as set up, before the piece changes anything, so that
// --load-state with it reproduces the same render.
std::vector<uint8_t> setUpPlugin(pluginhost::PluginInstance& plugin, const RenderOptions& options,
                                 const RenderInputs& inputs, bool savesState, const std::string& name) {
  applyPluginSetup(plugin, options.setup, inputs.loadedState, name);
  return savesState ? plugin.chunk() : std::vector<uint8_t>{};
}

struct RenderResult {
  int64_t frames = 0;
  double peak = 0.0;
  double sumSquares = 0.0;
  double seconds = 0.0;  // wall-clock time of the loop
};

// Plays the schedule block by block into the WAV file, then the tail:
// the given seconds, or with --tail auto until the output stays silent.
RenderResult playSchedule(pluginhost::PluginInstance& plugin, const MidiSchedule& schedule,
                          const RenderOptions& options, WavWriter& wav) {
  const double rate = options.sampleRate;
  const int64_t musicEnd = schedule.endSample;
  const bool autoTail = !options.tailSeconds.has_value();
  const int64_t end = musicEnd + std::llround((autoTail ? kMaxAutoTailSeconds : *options.tailSeconds) * rate);
  const int64_t silenceNeeded = std::llround(kSilenceSeconds * rate);

  RenderProgress progress(isatty(STDERR_FILENO) != 0, autoTail ? musicEnd : end, rate);
  const auto started = std::chrono::steady_clock::now();
  RenderResult result;
  std::vector<pluginhost::Midi> batch;
  size_t next = 0;
  int64_t& position = result.frames;
  int64_t silentRun = 0;
  bool done = false;
  while (!done && position < end) {
    batch.clear();
    while (next < schedule.messages.size() && schedule.messages[next].sample <= position)
      batch.push_back(schedule.messages[next++].message);
    if (!batch.empty()) plugin.sendMidi(batch);

    // Blocks end at the next event, so that it starts the following block
    // on its exact sample.
    int64_t frames = std::min<int64_t>(options.blockSize, end - position);
    if (next < schedule.messages.size()) frames = std::min(frames, schedule.messages[next].sample - position);
    const float* out = plugin.process(static_cast<int32_t>(frames));

    int64_t kept = frames;
    for (int64_t i = 0; i < frames; ++i) {
      const double x = out[i];
      result.peak = std::max(result.peak, std::fabs(x));
      result.sumSquares += x * x;
      silentRun = std::fabs(x) < kSilenceLevel ? silentRun + 1 : 0;
      if (autoTail && position + i + 1 >= musicEnd && silentRun >= silenceNeeded) {
        kept = i + 1;
        done = true;
        break;
      }
    }
    wav.write(out, kept);
    position += kept;
    progress.update(position);
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  progress.finish();
  return result;
}

void printReport(const RenderOptions& options, const SoundFileFormat& format, const RenderResult& result) {
  const double length = result.frames / static_cast<double>(options.sampleRate);
  const double rms =
      result.frames > 0 ? std::sqrt(result.sumSquares / static_cast<double>(result.frames)) : 0.0;
  std::printf("%s: %.2f s at %d Hz (%s), peak %.4f (%s), RMS %.4f (%s), %.1fx real time\n",
              options.outputPath.c_str(), length, options.sampleRate, format.description.c_str(), result.peak,
              decibels(result.peak).c_str(), rms, decibels(rms).c_str(),
              result.seconds > 0.0 ? length / result.seconds : 0.0);
}

}  // namespace

std::string defaultPluginPath() {
  std::error_code error;
  const fs::path directory = fs::read_symlink("/proc/self/exe", error).parent_path();
  const fs::path beside = directory / "sarn2.so";
  const fs::path installed = (directory / ".." / "lib" / "vst" / "sarn2.so").lexically_normal();
  for (const fs::path& candidate : {beside, installed})
    if (fs::is_regular_file(candidate, error)) return candidate.string();
  throw ToolError("no plug-in library found at " + beside.string() + " or " + installed.string() +
                  "; name one with --plugin");
}

int runRender(const RenderOptions& options) {
  // Everything that can be checked before any work is checked first, and
  // the output files exist only under temporary names until the end.
  const RenderInputs inputs = readInputs(options);
  const SoundFileFormat format = soundFileFormat(options.outputPath, options.format);
  WavWriter wav(options.outputPath, options.sampleRate, format);
  std::unique_ptr<OutputFile> stateOut;
  if (!options.setup.saveStatePath.empty())
    stateOut = std::make_unique<OutputFile>(options.setup.saveStatePath);
  std::unique_ptr<RomDirOverride> romOverride;
  if (!options.setup.romDirectory.empty())
    romOverride = std::make_unique<RomDirOverride>(options.setup.romDirectory);

  pluginhost::HostedPlugin hosted(inputs.pluginPath, static_cast<float>(options.sampleRate),
                                  options.blockSize, kHostName);
  pluginhost::PluginInstance& plugin = hosted.instance();
  const std::string name = fs::path(inputs.pluginPath).filename().string();
  // Without ROM files the instrument renders silence; that is never a result.
  if (hosted.effectName() == kSarn2EffectName) checkInstrumentFindsRoms(options.setup.romDirectory);
  const std::vector<uint8_t> savedState = setUpPlugin(plugin, options, inputs, stateOut != nullptr, name);

  plugin.setProcessing(true);
  const RenderResult result = playSchedule(plugin, inputs.schedule, options, wav);

  wav.finish();
  if (stateOut) stateOut->writeAndCommit(savedState.data(), savedState.size());
  printReport(options, format, result);
  return kExitOk;
}

}  // namespace sarn2tool
