// A plug-in library file loaded into this process (dlopen on Linux,
// LoadLibrary on Windows) and the entry points it exports.
#pragma once

#include <string>

#include "frame/plugin_interface.h"

namespace pluginhost {

class PluginLibrary {
 public:
  using Entry = EffectRecord* (*)(HostCallback);

  // Loads the file; never throws. A bare file name means the file in the
  // current directory, not a search of the system's library path.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return handle != nullptr; }
  // Why loading failed, in the system's words.
  const std::string& error() const { return loadError; }
  const std::string& path() const { return filePath; }

  // The exported function of this name, or null.
  Entry entry(const char* name = "VSTPluginMain") const;
  // The first of the names hosts try (VSTPluginMain, MAIN, main) that the
  // library exports, or null.
  Entry findEntry() const;

 private:
  void* handle = nullptr;
  std::string filePath;
  std::string loadError;
};

}  // namespace pluginhost
