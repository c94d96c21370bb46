#include "tools/sarn2/render_rom_check.h"

#include <cstdio>

#include "instrument/rom_directory.h"
#include "tools/sarn2/rom_file_lookup.h"
#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

void printHints(const std::string& directory) {
  for (const std::string& hint : caseMismatchHints(directory))
    std::fprintf(stderr, "sarn2: hint: %s\n", hint.c_str());
}

}  // namespace

void checkInstrumentFindsRoms(const std::string& romDirOption) {
  constexpr const char* kAdvice =
      "; `sarn2 install-roms` installs the demo set, `sarn2 install-roms DIR` your own dumps";
  if (!romDirOption.empty()) {
    const std::string directory = romDirOption.back() == '/' ? romDirOption : romDirOption + "/";
    printHints(directory);
    if (!sarn2::holdsAnyRomFile(directory))
      throw ToolError("no ROM file in " + directory +
                      " (DD1.BIN ... Midi_DD2.BIN): the instrument would render " + "only silence" + kAdvice);
    return;
  }
  const std::string directory = sarn2::romDirectory();
  const std::string user = sarn2::userRomDirectory();
  if (!user.empty() && user != directory) printHints(user);
  printHints(directory);
  if (sarn2::holdsAnyRomFile(directory)) return;
  std::string looked =
      directory.empty() ? "no ROM directory (neither XDG_DATA_HOME nor HOME is set)" : directory;
  std::string system;
  for (const std::string& d : sarn2::systemRomDirectories()) system += (system.empty() ? "" : ", ") + d;
  if (!system.empty()) looked += " nor in " + system;
  throw ToolError("the instrument finds no ROM file (DD1.BIN ... Midi_DD2.BIN) in " + looked +
                  ", so it would render only silence" + kAdvice);
}

}  // namespace sarn2tool
