// The tables built from the ten ROM files, and the bounds-tested readers
// every part of the engine goes through.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "instrument/engine/preset_record.h"

namespace sarn2 {

constexpr int32_t kSamplesPerBank = 512;
constexpr int32_t kWaveBankBytes = 2 * kSamplesPerBank;  // two bytes per sample
constexpr int32_t kWaveBankCount = 8;
constexpr int32_t kMaxTablePairs = 2048;  // per pair of byte-interleaved files
// Two pairs of wave files, two bytes per sample.
constexpr int32_t kMaxWaveTableBytes = 2 * 2 * kMaxTablePairs;

struct RomTables {
  std::vector<uint8_t> romImage;     // the ten files appended
  std::vector<uint16_t> pitchTable;  // phase increments, 16 entries per note
  std::vector<uint8_t> waveTable;    // sign-and-magnitude samples, banks of 512
};

// Preset numbers are clamped by every reader; the stored field never is.
inline int32_t clampPreset(int32_t preset) { return std::clamp(preset, 0, kPresetCount - 1); }

inline int64_t presetRecordPosition(int32_t preset) {
  return kPresetTableStart + int64_t{kPresetRecordBytes} * clampPreset(preset);
}

// A preset's record as far as the image holds it.
inline PresetRecordView presetRecord(const RomTables& roms, int32_t preset) {
  const int64_t r = presetRecordPosition(preset);
  const auto size = static_cast<int64_t>(roms.romImage.size());
  PresetRecordView view;
  if (r + kPresetRecordBytes <= size) view.record = roms.romImage.data() + r;
  view.hasControl = r + PresetControl::kByteIndex < size;
  if (view.hasControl) view.control.byte = roms.romImage[static_cast<size_t>(r + PresetControl::kByteIndex)];
  return view;
}

// The whole 32-byte record of a preset, or null when romImage ends inside it.
inline const uint8_t* wholePresetRecord(const RomTables& roms, int32_t preset) {
  return presetRecord(roms, preset).record;
}

// Byte 15 of a preset record; 0 when romImage does not reach it.
inline uint8_t presetControlByte(const RomTables& roms, int32_t preset) {
  return presetRecord(roms, preset).control.byte;
}

// Where a note's phase increment lies in a full pitch table: 16 entries
// per note from entry 627; notes below 24 share the first.
inline int64_t nominalPitchIndex(int32_t note) {
  constexpr int64_t kLowestNote = 24, kFirstEntry = 627, kEntriesPerNote = 16;
  const int64_t k = note - kLowestNote < 0 ? 0 : note - kLowestNote;
  return kFirstEntry + kEntriesPerNote * k;
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
  constexpr double kMagnitudeScale = 512.0;
  const int64_t i = int64_t{bankOffset} + 2 * int64_t{s};
  if (i < 0 || i + 1 >= static_cast<int64_t>(roms.waveTable.size())) return 0.0;
  const uint8_t low = roms.waveTable[static_cast<size_t>(i)];
  const uint8_t high = roms.waveTable[static_cast<size_t>(i + 1)];
  const double magnitude = ((high & 0x03) << 8 | low) / kMagnitudeScale;
  return (high & 0x04) != 0 ? magnitude : -magnitude;
}

}  // namespace sarn2
