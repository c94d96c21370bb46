#include "instrument/rom_directory.h"

#include <cstdlib>

#if !defined(_WIN32)
namespace {

// Relative values are ignored, as the XDG base-directory rules ask: they
// would make the ROM set depend on the host's working directory.
const char* absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

}  // namespace
#endif

std::string romDirectory() {
#if defined(_WIN32)
  return "c://roms/";
#else
  if (const char* dataHome = absoluteVariable("XDG_DATA_HOME")) return std::string(dataHome) + "/sarn2/roms/";
  if (const char* home = absoluteVariable("HOME")) return std::string(home) + "/.local/share/sarn2/roms/";
  return {};
#endif
}
