// The test host: the shared host library pointed at the plug-in built
// beside the test programs, with the recording callback and a render that
// shows which output samples the plug-in left unwritten.
#pragma once

#include <string>
#include <vector>

#include "tools/host/host_callback.h"
#include "tools/host/midi_block.h"
#include "tools/host/plugin_instance.h"
#include "tools/host/plugin_library.h"

namespace testhost {

using pluginhost::HostCall;
using pluginhost::Midi;
using pluginhost::MidiBlock;
using Recorder = pluginhost::HostCallLog;
inline Recorder& recorder() { return pluginhost::callLog(); }
inline constexpr auto& recordingCallback = pluginhost::hostCallback;

// Path of the plug-in library built beside the test programs.
std::string pluginPath();

struct PluginLibrary : pluginhost::PluginLibrary {
  explicit PluginLibrary(const std::string& path = pluginPath()) : pluginhost::PluginLibrary(path) {}
};

class Instance : public pluginhost::PluginInstance {
 public:
  using pluginhost::PluginInstance::PluginInstance;
  // Output 0 of a block rendered over a guard value.
  std::vector<float> render(int32_t frames) {
    const float* out = process(frames, kUnwritten);
    return std::vector<float>(out, out + (frames > 0 ? frames : 0));
  }
  static constexpr float kUnwritten = -7.0f;
};

}  // namespace testhost
