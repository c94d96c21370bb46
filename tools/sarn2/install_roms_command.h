// `sarn2 install-roms`: puts a ROM set where the instrument looks for it.
#pragma once

#include <string>

namespace sarn2tool {

struct InstallRomsOptions {
  std::string source;   // a directory of dumps; empty: the demo set
  bool system = false;  // the system-wide directory instead of the user's
  bool force = false;   // replace files already there
};

// The system-wide directory install-roms --system writes into.
constexpr const char* kSystemRomDirectory = "/usr/local/share/sarn2/roms/";

// Copies the set, then prints the inspect verdict of the installed set.
// Returns the exit status (that of inspect); throws ToolError when nothing
// can be installed.
int runInstallRoms(const InstallRomsOptions& options);

}  // namespace sarn2tool
