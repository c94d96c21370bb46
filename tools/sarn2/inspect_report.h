// What the instrument makes of a ROM directory: which files it reads, the
// tables it builds from them, the 32 preset records decoded, and warnings
// in plain language for everything that silences or distorts the sound.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/engine/rom_loader.h"

namespace sarn2tool {

// One file as the loader found it.
struct RomFileInfo {
  std::string name;         // without the .BIN extension
  bool present = false;     // a regular file the instrument read
  std::string problem;      // why it is not read, when it exists but is not
  int64_t size = 0;         // bytes on disk
  int64_t bytesRead = 0;    // bytes that came from it; fewer than size after a short read
  int64_t contributed = 0;  // bytes it adds to the image
  int64_t expected = 0;     // size the tables need; 0 when no size is fixed
  int64_t imageStart = 0;   // where its bytes begin in the image
};

struct PresetInfo {
  bool wholeRecord = false;     // all 32 bytes inside the image
  bool controlPresent = false;  // byte 15 inside the image
  uint8_t control = 0;          // byte 15, or 0 when absent
  int bank = 0, cutoffCode = 0, resonanceCode = 0;
  bool secondOscillator = false;
  std::array<uint8_t, 6> envelope{};  // record bytes 0, 1, 2, 4, 6, 8
  int32_t envelopeLength = 0;         // levels, one per output sample
};

struct RomReport {
  std::string directory;
  bool directoryExists = false;
  std::vector<RomFileInfo> files;  // in image order
  sarn2::RomTables tables;
  std::array<PresetInfo, sarn2::kPresetCount> presets{};
  std::vector<std::string> warnings;
};

RomReport inspectRomDirectory(const std::string& directory);

}  // namespace sarn2tool
