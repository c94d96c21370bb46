#include "tools/sarn2/render_command.h"

#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "tools/host/hosted_plugin.h"
#include "tools/sarn2/input_file.h"
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
  // Loading a named pipe as a library would wait for a writer for ever. A
  // missing library is left to the loader, which says why it cannot load.
  if (std::error_code error; fs::exists(inputs.pluginPath, error))
    checkInputFile(inputs.pluginPath, "plug-in library");
  return inputs;
}

// Where rendering stops at the latest: the end of the piece and its tail,
// with --tail auto the longest automatic tail.
int64_t latestEnd(const RenderOptions& options, const MidiSchedule& schedule) {
  const double tail = options.tailSeconds.value_or(kMaxAutoTailSeconds);
  return schedule.endSample + std::llround(tail * options.sampleRate);
}

std::string clockTime(double seconds) {
  const auto whole = static_cast<int64_t>(seconds);
  char text[48];
  std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
  return text;
}

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f s", seconds);
  return text;
}

// Refuses, before any file is created, output longer than the user allowed.
void checkLength(const RenderOptions& options, int64_t musicEnd, int64_t end) {
  const double rate = options.sampleRate;
  if (static_cast<double>(end) / rate <= options.maxLengthSeconds) return;
  std::string found = secondsText(musicEnd / rate) + " (" + clockTime(musicEnd / rate) + ")";
  if (end > musicEnd) found += " and its tail up to " + secondsText((end - musicEnd) / rate) + " more";
  throw ToolError(options.midiPath + " lasts " + found + ", longer than the " +
                  secondsText(options.maxLengthSeconds) + " allowed; if that is meant, allow it with " +
                  "--max-length SECONDS");
}

// WAV and AIFF headers hold 32-bit sizes: past 4 GiB of data (less the
// header and the float format's peak chunk) they would wrap and every
// reader would see a short file. A WAV that long is written as RF64, its
// 64-bit form; AIFF has none and is refused.
SoundFileFormat withRoomFor(SoundFileFormat format, int64_t frames, const std::string& path) {
  constexpr int64_t kLargestData = 0xFFFFFFFFll - 4096;
  const int type = format.word & SF_FORMAT_TYPEMASK;
  const int encoding = format.word & SF_FORMAT_SUBMASK;
  if (type != SF_FORMAT_WAV && type != SF_FORMAT_AIFF) return format;
  const int64_t bytesPerFrame = encoding == SF_FORMAT_PCM_16 ? 2 : encoding == SF_FORMAT_PCM_24 ? 3 : 4;
  if (frames <= kLargestData / bytesPerFrame) return format;
  if (type == SF_FORMAT_AIFF)
    throw ToolError("cannot write " + path + ": " + std::to_string(frames * bytesPerFrame) +
                    " bytes of sound are more than the 4 GiB an AIFF file can describe; write .wav (as RF64) "
                    "or .flac");
  format.word = SF_FORMAT_RF64 | encoding;
  format.description = "RF64" + format.description.substr(3) + ", as a WAV cannot describe past 4 GiB";
  return format;
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
  const int64_t end = latestEnd(options, schedule);
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
  const int64_t end = latestEnd(options, inputs.schedule);
  checkLength(options, inputs.schedule.endSample, end);
  const SoundFileFormat format =
      withRoomFor(soundFileFormat(options.outputPath, options.format), end, options.outputPath);
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
