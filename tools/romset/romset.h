// Writing ROM sets: the ten dump files an instance reads, built from a
// description (pitch table, wave banks, preset records). Tests and tools
// use it; any file may be made short, empty or left out.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "instrument/engine/preset_record.h"

namespace romset {

constexpr int kFileCount = 10;
constexpr int kTablePairs = 2048;  // bytes per pitch or wave file
constexpr int kSamplesPerBank = 512;
constexpr int kBankCount = 8;
constexpr int kPresetCount = 32;
constexpr int kRecordBytes = 32;
constexpr int kPresetTableStart = 9216;  // position in the combined image
// The six files before DD16 take 4 x 2048 bytes (DD1, DD2, DD13, DD14), so
// with full-size files the preset table lies 1024 bytes into DD16.
constexpr int kPresetTableOffsetInDD16 = kPresetTableStart - 4 * kTablePairs;

// The file names in the order the instrument appends them.
const std::array<std::string, kFileCount>& fileNames();

// One 32-byte preset record.
struct PresetRecord {
  std::array<uint8_t, kRecordBytes> bytes{};

  // Envelope bytes: ramp start, ramp rate, ramp end, glide time, hold
  // level, hold time (record bytes 0, 1, 2, 4, 6, 8).
  PresetRecord& envelope(uint8_t rampStart, uint8_t rampRate, uint8_t rampEnd, uint8_t glideTime,
                         uint8_t holdLevel, uint8_t holdTime);
  // Byte 15: wave bank 0-7, cutoff code 0-3, resonance code 0-3, second
  // oscillator on or off.
  PresetRecord& control(int bank, int cutoffCode, int resonanceCode, bool secondOscillator);

  uint8_t controlByte() const { return bytes[sarn2::PresetControl::kByteIndex]; }
};

// Sign-and-magnitude encoding of a sample in [-1023/512, 1023/512]: the
// magnitude is value * 512 rounded and held to 10 bits; bit 2 of the high
// byte set means positive.
std::array<uint8_t, 2> encodeSample(double value);
double decodeSample(uint8_t low, uint8_t high);

// The ten files by name. A name that is absent is not written at all.
class RomSet {
 public:
  // Full-size, zero-filled files: DD1..DD19 2048 bytes each, DD16 2048
  // (holding the preset table), DD27, DD28 and Midi_DD2 2048 each.
  static RomSet blank();

  void setPitchTable(const std::vector<uint16_t>& increments);  // DD1 low, DD2 high bytes
  void setWaveBank(int bank, const std::vector<uint16_t>& encodedSamples);
  void setWaveBank(int bank, const std::vector<double>& samples);
  void setPreset(int index, const PresetRecord& record);
  PresetRecord preset(int index) const;

  // Raw access for short, empty or missing files.
  std::optional<std::vector<uint8_t>>& file(const std::string& name) { return files[name]; }
  const std::map<std::string, std::optional<std::vector<uint8_t>>>& allFiles() const { return files; }
  void remove(const std::string& name) { files[name].reset(); }
  void resize(const std::string& name, size_t size);

  // The image the instrument builds: present files appended in list order.
  std::vector<uint8_t> image() const;

  // Writes every present file as <directory>/<name>.BIN; creates the
  // directory. Returns false with a message on failure.
  bool write(const std::string& directory, std::string* error = nullptr) const;

 private:
  std::vector<uint8_t>& ensure(const std::string& name, size_t size);
  std::map<std::string, std::optional<std::vector<uint8_t>>> files;
};

// The demo set: eight musical waveforms, an equal-tempered pitch table
// (note 69 = 440 Hz at 44.1 kHz) and 32 presets that between them use every
// bank, cutoff and resonance code, both oscillator settings and a range of
// filter envelopes.
RomSet demoRomSet();

// The demo presets' names, by preset number.
const std::array<std::string, kPresetCount>& demoPresetNames();

// Equal-tempered pitch table entry i (the instrument reads 627 + 16 * (note - 24)).
std::vector<uint16_t> equalTemperedPitchTable(double sampleRate = 44100.0);

}  // namespace romset
