// The tables built from the ten ROM files, and the bounds-tested readers
// every part of the instrument goes through.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int32_t kPresetCount = 32;
constexpr int32_t kPresetRecordBytes = 32;
constexpr int32_t kPresetTableStart = 0x2400;  // 9216
constexpr int32_t kControlByteIndex = 15;
constexpr int32_t kWaveBankBytes = 1024;  // 512 two-byte samples
constexpr int32_t kMaxTablePairs = 2048;  // per pair of byte-interleaved files

// The ROM dumps in the order they are appended to romImage.
constexpr std::array<const char*, 10> romFileNames = {"DD1",  "DD2",  "DD13", "DD14", "DD16",
                                                      "DD18", "DD19", "DD27", "DD28", "Midi_DD2"};

struct RomTables {
  std::vector<uint8_t> romImage;     // the ten files appended
  std::vector<uint16_t> pitchTable;  // phase increments, 16 entries per note
  std::vector<uint8_t> waveTable;    // sign-and-magnitude samples, banks of 512
};

// Reads an open file whole into an empty array: seek to the end for the
// size, back to the start, one read. A size of 0 or less (or one that
// cannot be found) adds nothing, and so does a size above 16 MiB, which no
// ROM dump has; a short read leaves the missing bytes 0. Closes the file;
// always true. A null file adds nothing.
bool readWholeFile(std::FILE* file, std::vector<uint8_t>& bytes);

// Builds the three tables from the files "<directory><name>.BIN". A file
// that cannot be opened (or is not a regular file) is skipped. An empty
// directory name means no ROM set. Never throws: without memory for the
// tables all three stay empty.
RomTables loadRomTables(const std::string& directory);

// Preset numbers are clamped by every reader; the stored field never is.
inline int32_t clampPreset(int32_t preset) {
  return preset < 0 ? 0 : (preset > kPresetCount - 1 ? kPresetCount - 1 : preset);
}

inline int64_t presetRecordPosition(int32_t preset) {
  return kPresetTableStart + int64_t{kPresetRecordBytes} * clampPreset(preset);
}

// The whole 32-byte record of a preset, or null when romImage ends inside it.
inline const uint8_t* wholePresetRecord(const RomTables& roms, int32_t preset) {
  const int64_t r = presetRecordPosition(preset);
  if (r + kPresetRecordBytes > static_cast<int64_t>(roms.romImage.size())) return nullptr;
  return roms.romImage.data() + r;
}

// Byte 15 of a preset record (bank, cutoff and resonance codes, second
// oscillator switch); 0 when romImage does not reach it.
inline uint8_t presetControlByte(const RomTables& roms, int32_t preset) {
  const int64_t i = presetRecordPosition(preset) + kControlByteIndex;
  return i < static_cast<int64_t>(roms.romImage.size()) ? roms.romImage[static_cast<size_t>(i)] : 0;
}

// Where a note's phase increment lies in a full pitch table: 16 entries
// per note from entry 627; notes below 24 share the first.
inline int64_t nominalPitchIndex(int32_t note) {
  const int64_t k = note - int64_t{24} < 0 ? 0 : note - int64_t{24};
  return 627 + 16 * k;
}

// Index of a note's phase increment in pitchTable: indexes past the end
// fall back to the size minus 2. Returns -1 when the table has fewer than
// two entries and so none fits.
inline int32_t pitchTableIndex(const RomTables& roms, int32_t note) {
  int64_t index = nominalPitchIndex(note);
  const auto size = static_cast<int64_t>(roms.pitchTable.size());
  if (index >= size) index = size - 2;
  return index < 0 ? -1 : static_cast<int32_t>(index);
}

// Sample s of the bank at byte offset bankOffset: 10-bit magnitude / 512,
// positive when bit 2 of the high byte is set. A pair that is not wholly
// inside waveTable reads as 0.
inline double waveSample(const RomTables& roms, int32_t bankOffset, int32_t s) {
  const int64_t i = int64_t{bankOffset} + 2 * int64_t{s};
  if (i < 0 || i + 1 >= static_cast<int64_t>(roms.waveTable.size())) return 0.0;
  const uint8_t low = roms.waveTable[static_cast<size_t>(i)];
  const uint8_t high = roms.waveTable[static_cast<size_t>(i + 1)];
  const double magnitude = ((high & 0x03) << 8 | low) / 512.0;
  return (high & 0x04) != 0 ? magnitude : -magnitude;
}
