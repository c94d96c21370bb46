// Loading the ten ROM dump files into the tables, with an outcome per file
// that a tool can turn into a message: found and how large, missing, or
// skipped and why, and where its bytes landed in the combined image.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "instrument/engine/rom_tables.h"

namespace sarn2 {

// One dump file of the set, in the order the files are appended to romImage.
struct RomFileLayout {
  const char* name;    // without the .BIN extension
  int32_t tableBytes;  // bytes it gives the pitch or wave table; 0 when it feeds none
};
constexpr std::array<RomFileLayout, 10> kRomFiles = {{{"DD1", kMaxTablePairs},
                                                      {"DD2", kMaxTablePairs},
                                                      {"DD13", kMaxTablePairs},
                                                      {"DD14", kMaxTablePairs},
                                                      {"DD16", 0},
                                                      {"DD18", kMaxTablePairs},
                                                      {"DD19", kMaxTablePairs},
                                                      {"DD27", 0},
                                                      {"DD28", 0},
                                                      {"Midi_DD2", 0}}};

enum class RomFileStatus {
  found,         // read whole; size may still be 0
  missing,       // no file of that name
  folder,        // a directory of that name: skipped
  deviceOrPipe,  // a device, pipe or socket: skipped without reading
  tooLarge,      // larger than any ROM dump: skipped
  unreadable,    // could not be opened, sized or held in memory: skipped
  shortRead,     // fewer bytes came than its size; the rest read as 0
};

struct RomFileOutcome {
  RomFileStatus status{RomFileStatus::missing};
  int64_t size{0};        // bytes on disk, when it could be sized
  int64_t bytesRead{0};   // bytes that actually came from it
  int errorNumber{0};     // errno of a failed open, for unreadable files
  int64_t imageStart{0};  // where its bytes begin in romImage
  int64_t imageBytes{0};  // bytes it added to romImage
};

struct RomLoad {
  RomTables tables;
  std::array<RomFileOutcome, kRomFiles.size()> files{};  // in kRomFiles order
};

// Real dumps are a few kilobytes; anything larger than this is not one.
constexpr long kMaxRomFileBytes = 16L * 1024 * 1024;

// Reads an open file whole into an empty array: seek to the end for the
// size, back to the start, one read. A size that cannot be found adds
// nothing (unreadable), and so does one above kMaxRomFileBytes (tooLarge);
// a short read leaves the missing bytes 0. Closes the file. A null file is
// missing.
RomFileOutcome readWholeFile(std::FILE* file, std::vector<uint8_t>& bytes);

// Builds the three tables from the files "<directory><name>.BIN". A file
// that cannot be opened, or is not a regular file, is skipped; a skipped
// file shifts every later one toward the start of romImage. An empty
// directory name means no ROM set, never the working directory. Never
// throws: without memory for the tables all three stay empty.
RomLoad loadRoms(const std::string& directory);

// The tables alone, for callers that play them and need no outcome.
inline RomTables loadRomTables(const std::string& directory) { return loadRoms(directory).tables; }

}  // namespace sarn2
