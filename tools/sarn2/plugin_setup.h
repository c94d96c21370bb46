// How the sarn2 commands that host a plug-in set it up: which library, the
// ROM directory, a state file to load and one to save, and the options
// that override the loaded state. One set of options for every command.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/host/plugin_instance.h"

namespace sarn2tool {

struct PluginSetup {
  std::string pluginPath;  // empty: the built instrument beside the program
  std::string romDirectory;
  std::optional<int> preset;
  std::optional<float> release;
  std::optional<bool> filterOn;
  std::string loadStatePath;
  std::string saveStatePath;
};

// Adds --plugin, --rom-dir, --preset, --release, --filter, --load-state and
// --save-state to a command; saveStateHelp says when the state is taken.
void addPluginSetupOptions(CLI::App& command, PluginSetup& setup, const std::string& saveStateHelp);

// The bytes of a state file. Throws ToolError.
std::vector<uint8_t> readStateFile(const std::string& path);

// Loads the state read from setup.loadStatePath, then applies the options
// so that they override it. name is how messages call the library.
// Throws ToolError when the library keeps no state chunk but one is to be
// loaded or saved, refuses the state, or lacks a parameter an option sets.
void applyPluginSetup(pluginhost::PluginInstance& plugin, const PluginSetup& setup,
                      const std::vector<uint8_t>& loadedState, const std::string& name);

}  // namespace sarn2tool
