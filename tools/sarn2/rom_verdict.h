// The short answer to "will this ROM set make any sound?", shared by inspect
// (its exit status) and install-roms (its last line).
#pragma once

#include <string>

#include "tools/sarn2/inspect_report.h"

namespace sarn2tool {

// False when the instrument can only render silence with the set: the
// directory does not exist, or there is no wave table or no pitch table.
bool romSetCanSound(const RomReport& report);

// One sentence saying whether the set sounds and, when not, why.
std::string romSetVerdict(const RomReport& report);

}  // namespace sarn2tool
