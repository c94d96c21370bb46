#include "instrument/rom_directory.h"

#include <sys/stat.h>

#include <cstdlib>

#include "instrument/engine/rom_loader.h"

namespace sarn2 {

namespace {

#if !defined(_WIN32)
// Relative values are ignored, as the XDG base-directory rules ask: they
// would make the ROM set depend on the host's working directory.
const char* absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

constexpr const char* kDefaultDataDirs = "/usr/local/share:/usr/share";
#endif

}  // namespace

bool holdsAnyRomFile(const std::string& directory) {
  if (directory.empty()) return false;
  for (const RomFileLayout& file : kRomFiles) {
    struct stat status {};
    const std::string path = directory + file.name + ".BIN";
    if (stat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == S_IFREG) return true;
  }
  return false;
}

std::string userRomDirectory() {
#if defined(_WIN32)
  return "c://roms/";
#else
  if (const char* dataHome = absoluteVariable("XDG_DATA_HOME")) return std::string(dataHome) + "/sarn2/roms/";
  if (const char* home = absoluteVariable("HOME")) return std::string(home) + "/.local/share/sarn2/roms/";
  return {};
#endif
}

std::vector<std::string> systemRomDirectories() {
  std::vector<std::string> directories;
#if !defined(_WIN32)
  // An unset or empty XDG_DATA_DIRS means the default list.
  const char* variable = std::getenv("XDG_DATA_DIRS");
  const std::string list = variable != nullptr && variable[0] != '\0' ? variable : kDefaultDataDirs;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string entry = list.substr(start, end - start);
    if (!entry.empty() && entry[0] == '/') directories.push_back(entry + "/sarn2/roms/");
    start = end + 1;
  }
#endif
  return directories;
}

std::string romDirectory() {
  const std::string user = userRomDirectory();
#if !defined(_WIN32)
  // The user's set wins as soon as it holds any file, so that a user's own
  // dumps are never mixed with or shadowed by a system-wide set.
  if (holdsAnyRomFile(user)) return user;
  for (const std::string& system : systemRomDirectories())
    if (holdsAnyRomFile(system)) return system;
#endif
  return user;
}

}  // namespace sarn2
