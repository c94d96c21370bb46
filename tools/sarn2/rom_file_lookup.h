// Finding the ten ROM files in a directory whatever the case of their names.
// The instrument opens only the exact names ("DD1.BIN"); dumps copied from
// other systems often arrive as "dd1.bin". install-roms takes such files under
// their right names, and inspect and render point them out.
#pragma once

#include <string>
#include <vector>

namespace sarn2tool {

struct RomFileMatch {
  std::string name;  // the name the instrument reads, "DD1.BIN"
  std::string path;  // the file found for it; empty when there is none
  bool exactName = false;
};

// One entry per ROM file, in image order. Only regular files count (links to
// them too). When names that differ only in case sit side by side, the exact
// name wins, then the first in byte order.
std::vector<RomFileMatch> matchRomFiles(const std::string& directory);

// One line per ROM file that is missing under its exact name while a file of
// that name in other case is there, e.g. "dd1.bin is there, but the
// instrument reads only DD1.BIN (names are case-sensitive); ...".
std::vector<std::string> caseMismatchHints(const std::string& directory);

}  // namespace sarn2tool
