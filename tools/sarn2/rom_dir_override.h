// Points the built-in instrument at a chosen ROM directory for the life of
// the object, without touching the user's own one: a private data
// directory whose sarn2/roms entry is a link to the chosen directory. The
// system-wide fallback points there too, so that the instrument reads only
// the chosen directory even when it holds no ROM file.
#pragma once

#include <string>

namespace sarn2tool {

class RomDirOverride {
 public:
  // Throws ToolError when romDirectory is not an existing directory.
  explicit RomDirOverride(const std::string& romDirectory);
  // Restores XDG_DATA_HOME and XDG_DATA_DIRS and removes the private
  // directory (never the linked one).
  ~RomDirOverride();
  RomDirOverride(const RomDirOverride&) = delete;
  RomDirOverride& operator=(const RomDirOverride&) = delete;

 private:
  std::string dataHome;
  std::string previous, previousDataDirs;
  bool hadPrevious = false, hadPreviousDataDirs = false;
};

}  // namespace sarn2tool
