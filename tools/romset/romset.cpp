#include "tools/romset/romset.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "instrument/engine/preset_record.h"
#include "tools/romset/portable_math.h"

namespace romset {

const std::array<std::string, kFileCount>& fileNames() {
  static const std::array<std::string, kFileCount> names = {"DD1",  "DD2",  "DD13", "DD14", "DD16",
                                                            "DD18", "DD19", "DD27", "DD28", "Midi_DD2"};
  return names;
}

PresetRecord& PresetRecord::envelope(uint8_t rampStart, uint8_t rampRate, uint8_t rampEnd, uint8_t glideTime,
                                     uint8_t holdLevel, uint8_t holdTime) {
  sarn2::EnvelopeBytes{rampStart, rampRate, rampEnd, glideTime, holdLevel, holdTime}.encode(bytes.data());
  return *this;
}

PresetRecord& PresetRecord::control(int bank, int cutoffCode, int resonanceCode, bool secondOscillator) {
  bytes[sarn2::PresetControl::kByteIndex] =
      sarn2::PresetControl::encode(bank, cutoffCode, resonanceCode, secondOscillator).byte;
  return *this;
}

std::array<uint8_t, 2> encodeSample(double value) {
  const double scaled = std::round(std::fabs(value) * 512.0);
  const int magnitude = static_cast<int>(std::min(scaled, 1023.0));
  const uint8_t sign = value >= 0.0 ? 0x04 : 0x00;
  return {static_cast<uint8_t>(magnitude & 0xFF), static_cast<uint8_t>(((magnitude >> 8) & 0x03) | sign)};
}

double decodeSample(uint8_t low, uint8_t high) {
  const double magnitude = ((high & 0x03) << 8 | low) / 512.0;
  return (high & 0x04) != 0 ? magnitude : -magnitude;
}

RomSet RomSet::blank() {
  RomSet set;
  for (const std::string& name : fileNames()) set.files[name] = std::vector<uint8_t>(kTablePairs, 0);
  return set;
}

std::vector<uint8_t>& RomSet::ensure(const std::string& name, size_t size) {
  std::optional<std::vector<uint8_t>>& slot = files[name];
  if (!slot) slot = std::vector<uint8_t>();
  if (slot->size() < size) slot->resize(size, 0);
  return *slot;
}

void RomSet::resize(const std::string& name, size_t size) {
  std::optional<std::vector<uint8_t>>& slot = files[name];
  if (!slot) slot = std::vector<uint8_t>();
  slot->resize(size, 0);
}

void RomSet::setPitchTable(const std::vector<uint16_t>& increments) {
  std::vector<uint8_t>& low = ensure("DD1", increments.size());
  std::vector<uint8_t>& high = ensure("DD2", increments.size());
  for (size_t i = 0; i < increments.size(); ++i) {
    low[i] = static_cast<uint8_t>(increments[i] & 0xFF);
    high[i] = static_cast<uint8_t>(increments[i] >> 8);
  }
}

// Banks 0-3 live in DD13/DD14, banks 4-7 in DD18/DD19: 512 samples each,
// low bytes in the first file of the pair, high bytes in the second.
void RomSet::setWaveBank(int bank, const std::vector<uint16_t>& encodedSamples) {
  const std::string lowName = bank < 4 ? "DD13" : "DD18";
  const std::string highName = bank < 4 ? "DD14" : "DD19";
  const size_t first = static_cast<size_t>(bank % 4) * kSamplesPerBank;
  std::vector<uint8_t>& low = ensure(lowName, first + kSamplesPerBank);
  std::vector<uint8_t>& high = ensure(highName, first + kSamplesPerBank);
  for (size_t s = 0; s < kSamplesPerBank && s < encodedSamples.size(); ++s) {
    low[first + s] = static_cast<uint8_t>(encodedSamples[s] & 0xFF);
    high[first + s] = static_cast<uint8_t>(encodedSamples[s] >> 8);
  }
}

void RomSet::setWaveBank(int bank, const std::vector<double>& samples) {
  std::vector<uint16_t> encoded;
  for (double value : samples) {
    const std::array<uint8_t, 2> pair = encodeSample(value);
    encoded.push_back(static_cast<uint16_t>(pair[0] | pair[1] << 8));
  }
  setWaveBank(bank, encoded);
}

void RomSet::setPreset(int index, const PresetRecord& record) {
  const size_t first = kPresetTableOffsetInDD16 + static_cast<size_t>(index) * kRecordBytes;
  std::vector<uint8_t>& dd16 = ensure("DD16", first + kRecordBytes);
  std::copy(record.bytes.begin(), record.bytes.end(), dd16.begin() + static_cast<std::ptrdiff_t>(first));
}

PresetRecord RomSet::preset(int index) const {
  PresetRecord record;
  const auto found = files.find("DD16");
  if (found == files.end() || !found->second) return record;
  const size_t first = kPresetTableOffsetInDD16 + static_cast<size_t>(index) * kRecordBytes;
  for (size_t i = 0; i < kRecordBytes && first + i < found->second->size(); ++i)
    record.bytes[i] = (*found->second)[first + i];
  return record;
}

std::vector<uint8_t> RomSet::image() const {
  std::vector<uint8_t> bytes;
  for (const std::string& name : fileNames()) {
    const auto found = files.find(name);
    if (found != files.end() && found->second)
      bytes.insert(bytes.end(), found->second->begin(), found->second->end());
  }
  return bytes;
}

bool RomSet::write(const std::string& directory, std::string* error) const {
  std::error_code code;
  std::filesystem::create_directories(directory, code);
  if (code) {
    if (error) *error = "cannot create directory " + directory + ": " + code.message();
    return false;
  }
  for (const auto& [name, content] : files) {
    const std::string path = (std::filesystem::path(directory) / (name + ".BIN")).string();
    if (!content) {
      std::filesystem::remove(path, code);
      continue;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      if (error) *error = "cannot write " + path;
      return false;
    }
    const size_t written = content->empty() ? 0 : std::fwrite(content->data(), 1, content->size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != content->size() || !closed) {
      if (error) *error = "short write to " + path;
      return false;
    }
  }
  return true;
}

std::vector<uint16_t> equalTemperedPitchTable(double sampleRate) {
  // Entry 627 + 16 * (note - 24) steps a 20-bit phase through 512 samples:
  // one wave period per 2^20 of phase, so step = f * 2^20 / rate. Entry 1347
  // is note 69, 440 Hz; sixteen entries per semitone, 192 per octave.
  // A step holds 16 bits, so above 65535 (about 2756 Hz at 44.1 kHz, a little
  // above note 100) the entries saturate and the top notes all sound alike.
  std::vector<uint16_t> table(kTablePairs);
  for (int i = 0; i < kTablePairs; ++i) {
    const double frequency = 440.0 * exp2Ratio(i - 1347, 192);
    const double step = std::round(frequency * 1048576.0 / sampleRate);
    table[static_cast<size_t>(i)] = static_cast<uint16_t>(std::clamp(step, 0.0, 65535.0));
  }
  return table;
}

}  // namespace romset
