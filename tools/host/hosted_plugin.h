// A plug-in library loaded and opened the way a host opens it for playing:
// entry point, checks of the effect record, open, sample rate, block size.
// One per process (the host callback's answers are the process's).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "tools/host/plugin_instance.h"
#include "tools/host/plugin_library.h"

namespace pluginhost {

// A library that cannot be played, with the file's name and why.
struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class HostedPlugin {
 public:
  // Answers the plug-in's requests with this rate, block size and host
  // name, and records no calls (the callback may then run on any thread).
  // Throws LoadError when the file is not a loadable library, exports no
  // entry point, its entry gives no effect record of this interface, or the
  // effect has no replacing output to render.
  HostedPlugin(const std::string& libraryPath, float sampleRate, int32_t blockSize,
               const std::string& hostName);

  PluginInstance& instance() { return *plugin; }
  PluginInstance* operator->() { return plugin.get(); }
  std::string effectName() const { return plugin->text(EffectOpcode::getEffectName, 0, 64); }

 private:
  // Declared first, so the instance is closed before the library unloads.
  std::unique_ptr<PluginLibrary> library;
  std::unique_ptr<PluginInstance> plugin;
};

}  // namespace pluginhost
