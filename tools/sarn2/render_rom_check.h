// Before a render through the instrument: the ROM files it will read, so
// that a render that could only be silence fails instead of passing quietly.
#pragma once

#include <string>

namespace sarn2tool {

// The effect name of the instrument, the one library whose ROM files the
// check knows.
inline constexpr const char* kSarn2EffectName = "Tavrel Sarn2";

// The directory the instrument reads: romDirOption when given, else the one
// it finds by itself. Prints a hint on stderr for every file that is there
// only in other case. Throws ToolError, naming the directory looked in and
// the install-roms command, when it holds none of the ten ROM files.
void checkInstrumentFindsRoms(const std::string& romDirOption);

}  // namespace sarn2tool
