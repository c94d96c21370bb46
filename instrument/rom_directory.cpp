#include "instrument/rom_directory.h"

#include <cstdlib>

std::string romDirectory() {
#if defined(_WIN32)
  return "c://roms/";
#else
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] != 0) return std::string(dataHome) + "/sarn2/roms/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != 0) return std::string(home) + "/.local/share/sarn2/roms/";
  return {};
#endif
}
