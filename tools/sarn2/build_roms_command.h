// `sarn2 build-roms`: the ten ROM files from a description, plus a copy of
// the description beside them for the preset names.
#pragma once

#include <string>

namespace sarn2tool {

// The copy of the description a built directory holds.
constexpr const char* kDescriptionCopyName = "set.toml";

// Refuses to replace files already in the directory unless forced. Every
// file is written under a temporary name first, so that on any failure none
// of them is replaced.
int runBuildRoms(const std::string& descriptionPath, const std::string& directory, bool force);

}  // namespace sarn2tool
