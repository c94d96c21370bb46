#include "tools/sarn2/plugin_setup.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/sarn2/input_file.h"
#include "tools/sarn2/tool_error.h"

namespace fs = std::filesystem;

namespace sarn2tool {

namespace {

constexpr int32_t kSarn2Presets = 32;
constexpr uint64_t kMaxStateFileBytes = 1 << 20;

void applySettings(pluginhost::PluginInstance& plugin, const PluginSetup& setup, const std::string& name) {
  if (setup.preset) {
    const int32_t n = *setup.preset;
    if (auto index = plugin.findParameter("Preset")) {
      // n / 31 comes back through the parameter's n * 31 + 0.5 as exactly n.
      const auto value = static_cast<float>(static_cast<double>(n) / (kSarn2Presets - 1));
      plugin.setParameter(*index, value);
      if (plugin.getParameter(*index) != value)
        throw ToolError(name + " did not take preset " + std::to_string(n) + " through its Preset parameter");
    } else if (n < plugin.programCount()) {
      plugin.dispatch(EffectOpcode::setProgram, 0, n);
    } else {
      throw ToolError(name + " has no Preset parameter and no program " + std::to_string(n));
    }
  }
  const auto setNamed = [&](const char* parameter, const char* option, float value) {
    const auto index = plugin.findParameter(parameter);
    if (!index) throw ToolError(name + " has no parameter named " + parameter + " for " + option);
    plugin.setParameter(*index, value);
  };
  if (setup.release) setNamed("Release", "--release", *setup.release);
  if (setup.filterOn) setNamed("Filter", "--filter", *setup.filterOn ? 1.0f : 0.0f);
}

}  // namespace

void addPluginSetupOptions(CLI::App& command, PluginSetup& setup, const std::string& saveStateHelp) {
  command.add_option("--plugin", setup.pluginPath,
                     "plug-in library (default: the sarn2.so beside this program)");
  command.add_option("--preset", setup.preset, "preset 0-31, set through the Preset parameter")
      ->check(CLI::Range(0, 31));
  command.add_option("--release", setup.release, "Release parameter, 0.0-1.0")->check(CLI::Range(0.0, 1.0));
  command
      .add_option_function<std::string>(
          "--filter", [&setup](const std::string& text) { setup.filterOn = text == "on"; },
          "Filter parameter")
      ->check(CLI::IsMember({"on", "off"}));
  command.add_option("--load-state", setup.loadStatePath,
                     "state chunk file to load before the options above apply");
  command.add_option("--save-state", setup.saveStatePath, saveStateHelp);
  command.add_option("--rom-dir", setup.romDirectory,
                     "ROM directory for the instrument instead of its usual one");
}

std::vector<uint8_t> readStateFile(const std::string& path) {
  return readInputFile(path, "state file", kMaxStateFileBytes);
}

void applyPluginSetup(pluginhost::PluginInstance& plugin, const PluginSetup& setup,
                      const std::vector<uint8_t>& loadedState, const std::string& name) {
  if (!setup.loadStatePath.empty() || !setup.saveStatePath.empty()) {
    if (!plugin.keepsStateAsChunk()) throw ToolError(name + " keeps no state chunk to load or save");
  }
  if (!setup.loadStatePath.empty()) {
    const size_t expected = plugin.chunk().size();
    if (loadedState.size() != expected)
      throw ToolError("state file " + setup.loadStatePath + " is " + std::to_string(loadedState.size()) +
                      " bytes, but " + name + " keeps a state of " + std::to_string(expected) + " bytes");
    if (plugin.setChunk(loadedState) == 0)
      throw ToolError(name + " refused the state in " + setup.loadStatePath);
  }
  applySettings(plugin, setup, name);
}

}  // namespace sarn2tool
