// `sarn2 inspect DIR --export SET.toml`: any ROM set as a description, its
// eight banks as WAV files beside it, its base the ROM directory, so that
// building it again gives the same files back byte for byte.
#pragma once

#include <string>
#include <vector>

namespace sarn2tool {

// Prints what it wrote. Throws ToolError.
void exportRomSet(const std::string& romDirectory, const std::string& descriptionPath);

// Preset names from the description copy in a ROM directory; empty when
// there is none.
std::vector<std::string> presetNamesBeside(const std::string& romDirectory);

}  // namespace sarn2tool
