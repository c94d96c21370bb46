// `sarn2 play`: a JACK client that hosts a plug-in for live playing.
#pragma once

#include <string>
#include <vector>

#include "tools/sarn2/plugin_setup.h"

namespace sarn2tool {

struct PlayOptions {
  PluginSetup setup;
  std::string clientName = "sarn2";
  std::vector<std::string> midiFrom;  // empty: every physical MIDI source
  bool connect = true;
};

// Plays until SIGINT, SIGTERM or SIGHUP (status 0) or until the server goes
// away (status 1), then writes --save-state and prints a summary. Throws
// ToolError for the user's mistakes and a missing server.
int runPlay(const PlayOptions& options);

}  // namespace sarn2tool
