// `sarn2 make-demo-roms`: writes the demo ROM set, the ten files an
// instance reads, into a directory.
#pragma once

#include <string>

namespace sarn2tool {

// Refuses to replace ROM files already in the directory unless forced, so
// that a user's own dumps are never overwritten by accident.
int runMakeDemoRoms(const std::string& directory, bool force);

}  // namespace sarn2tool
