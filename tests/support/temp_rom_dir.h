// Temporary ROM directories for tests, and pointing instances at them.
#pragma once

#include <optional>
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

#if !defined(_WIN32)
// Sets (or, for a null value, unsets) an environment variable for one
// scope and restores what was there before.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name;
  std::optional<std::string> previous;
};
#endif

// The directory the built library reads on this platform: on Windows
// "c://roms/"; elsewhere $XDG_DATA_HOME/sarn2/roms/.
std::string platformRomDirectory();

// Makes instances created through the entry point from now on read the
// given ROM set: writes it into the platform ROM directory (under a fresh
// XDG_DATA_HOME on Linux, with XDG_DATA_DIRS pointing where no system-wide
// set lies), clearing what was there. Restores on destruction.
class PlatformRoms {
 public:
  explicit PlatformRoms(const romset::RomSet& set);
  PlatformRoms();  // an empty ROM directory: every file missing
  ~PlatformRoms();
  PlatformRoms(const PlatformRoms&) = delete;
  PlatformRoms& operator=(const PlatformRoms&) = delete;

 private:
  TempDir dataHome;
#if !defined(_WIN32)
  std::optional<ScopedEnv> dataHomeVariable;
  std::optional<ScopedEnv> dataDirsVariable;
#endif
};

}  // namespace testhost
