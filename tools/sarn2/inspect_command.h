// `sarn2 inspect`: prints what the instrument makes of a ROM directory,
// and optionally draws its wave banks and filter envelopes.
#pragma once

#include <string>

#include "tools/sarn2/figure.h"
#include "tools/sarn2/inspect_report.h"

namespace sarn2tool {

// An empty directory means the one the instrument itself reads; a .toml file
// is a set description, reported and drawn as the set it builds.
int runInspect(const std::string& directory, const std::string& plotPath);

// The eight wave banks over the 32 filter envelopes.
Figure romFigure(const RomReport& report);

}  // namespace sarn2tool
