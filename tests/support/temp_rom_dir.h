// Temporary ROM directories for tests, and pointing instances at them.
#pragma once

#include <string>

#include "tools/romset/romset.h"

namespace testhost {

// A fresh, empty directory that is removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The directory, ending in a separator.
  const std::string& path() const { return directory; }

 private:
  std::string directory;
};

// The directory the built library reads on this platform: on Windows
// "c://roms/"; elsewhere $XDG_DATA_HOME/sarn2/roms/.
std::string platformRomDirectory();

// Makes instances created through the entry point from now on read the
// given ROM set: writes it into the platform ROM directory (under a fresh
// XDG_DATA_HOME on Linux), clearing what was there. Restores on destruction.
class PlatformRoms {
 public:
  explicit PlatformRoms(const romset::RomSet& set);
  PlatformRoms();  // an empty ROM directory: every file missing
  ~PlatformRoms();
  PlatformRoms(const PlatformRoms&) = delete;
  PlatformRoms& operator=(const PlatformRoms&) = delete;

 private:
  TempDir dataHome;
  std::string previous;
  bool hadPrevious = false;
};

}  // namespace testhost
