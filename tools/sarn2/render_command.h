// `sarn2 render`: plays a MIDI file through a plug-in into a WAV file.
#pragma once

#include <optional>
#include <string>

#include "tools/sarn2/wav_writer.h"

namespace sarn2tool {

struct RenderOptions {
  std::string midiPath;
  std::string outputPath;
  std::string pluginPath;  // empty: the built instrument beside the program
  int sampleRate = 44100;
  int blockSize = 512;
  std::optional<int> preset;
  std::optional<float> release;
  std::optional<bool> filterOn;
  std::string loadStatePath;
  std::string saveStatePath;
  std::optional<double> tailSeconds;   // none: until the output falls silent
  std::optional<SampleFormat> format;  // none: the output file type's default
  std::string romDirectory;
};

// The instrument beside this program, or where an installation puts it.
// Throws ToolError when neither exists.
std::string defaultPluginPath();

// Returns the exit status; throws ToolError for the user's mistakes.
int runRender(const RenderOptions& options);

}  // namespace sarn2tool
