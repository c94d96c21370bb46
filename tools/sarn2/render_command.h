// `sarn2 render`: plays a MIDI file through a plug-in into a WAV file.
#pragma once

#include <optional>
#include <string>

#include "tools/sarn2/plugin_setup.h"
#include "tools/sarn2/wav_writer.h"

namespace sarn2tool {

// A piece longer than an hour is far more likely a broken file (one huge
// delta time) than music; it is rendered only when --max-length allows it.
constexpr double kDefaultMaxLengthSeconds = 3600.0;

struct RenderOptions {
  std::string midiPath;
  std::string outputPath;
  PluginSetup setup;  // the saved state is the one set up, before the piece plays
  int sampleRate = 44100;
  int blockSize = 512;
  std::optional<double> tailSeconds;   // none: until the output falls silent
  std::optional<SampleFormat> format;  // none: the output file type's default
  // Longest output, in seconds, that is written without being asked for.
  double maxLengthSeconds = kDefaultMaxLengthSeconds;
};

// The instrument beside this program, or where an installation puts it.
// Throws ToolError when neither exists.
std::string defaultPluginPath();

// Returns the exit status; throws ToolError for the user's mistakes.
int runRender(const RenderOptions& options);

}  // namespace sarn2tool
