#include "tools/romset/description_build.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "instrument/engine/preset_record.h"
#include "tools/romset/portable_math.h"
#include "tools/romset/scala_tuning.h"

namespace fs = std::filesystem;

namespace romset {

namespace {

constexpr int kMaxMagnitude = 1023;
// A WAV sample of full scale 1.0 is magnitude 1024: one step of the 10-bit
// table is exactly 1/1024, so 16-bit and float files carry it without loss.
constexpr double kWaveFullScale = 1024.0;
constexpr int kWaveSamples = kBankCount * kSamplesPerBank;  // 4096, both file pairs
constexpr int kNotes = 128;
constexpr int kMaxStep = 65535;
constexpr size_t kMaxRomFileBytes = 16u << 20;  // the instrument reads no larger dump

std::string fixed(double value, int digits) {
  char text[48];
  std::snprintf(text, sizeof(text), "%.*f", digits, value);
  return text;
}

// --- reading what the instrument reads -------------------------------------

size_t sizeOf(const RomSet& set, const std::string& name) {
  const auto found = set.allFiles().find(name);
  return found == set.allFiles().end() || !found->second ? 0 : found->second->size();
}

uint8_t byteOf(const RomSet& set, const std::string& name, size_t i) {
  const auto found = set.allFiles().find(name);
  if (found == set.allFiles().end() || !found->second || i >= found->second->size()) return 0;
  return (*found->second)[i];
}

size_t pairLength(const RomSet& set, const char* low, const char* high) {
  return std::min({sizeOf(set, low), sizeOf(set, high), static_cast<size_t>(kTablePairs)});
}

// Where wave-table sample k lies: the file pair and the index in it, or
// nothing when the table is shorter.
struct SamplePlace {
  const char* low = nullptr;
  const char* high = nullptr;
  size_t index = 0;
};

std::optional<SamplePlace> samplePlace(const RomSet& set, int k) {
  const size_t first = pairLength(set, "DD13", "DD14");
  const size_t second = pairLength(set, "DD18", "DD19");
  const auto at = static_cast<size_t>(k);
  if (at < first) return SamplePlace{"DD13", "DD14", at};
  if (at < first + second) return SamplePlace{"DD18", "DD19", at - first};
  return std::nullopt;
}

// Signed magnitude of sample k; 0 outside the table, and 0 for a negative
// zero, which plays exactly like a positive one.
int sampleValue(const RomSet& set, int k) {
  const std::optional<SamplePlace> place = samplePlace(set, k);
  if (!place) return 0;
  const uint8_t low = byteOf(set, place->low, place->index);
  const uint8_t high = byteOf(set, place->high, place->index);
  const int magnitude = (high & 0x03) << 8 | low;
  return (high & 0x04) != 0 ? magnitude : -magnitude;
}

// The file and offset of a position in the combined image, or nothing past
// its end.
std::optional<std::pair<std::string, size_t>> imagePlace(const RomSet& set, size_t position) {
  for (const std::string& name : fileNames()) {
    const size_t size = sizeOf(set, name);
    if (position < size) return std::make_pair(name, position);
    position -= size;
  }
  return std::nullopt;
}

size_t imageSize(const RomSet& set) {
  size_t total = 0;
  for (const std::string& name : fileNames()) total += sizeOf(set, name);
  return total;
}

uint8_t imageByte(const RomSet& set, size_t position) {
  const auto place = imagePlace(set, position);
  return place ? byteOf(set, place->first, place->second) : 0;
}

using sarn2::EnvelopeBytes;
using sarn2::PresetControl;
// The record positions of the six envelope bytes, in the description's order.
constexpr std::array<int, 6> kEnvelopeBytes = {EnvelopeBytes::kRampStart, EnvelopeBytes::kRampRate,
                                               EnvelopeBytes::kRampEnd,   EnvelopeBytes::kGlideTime,
                                               EnvelopeBytes::kHoldLevel, EnvelopeBytes::kHoldTime};
constexpr int kControlByte = PresetControl::kByteIndex;

size_t recordStart(int preset) { return kPresetTableStart + static_cast<size_t>(preset) * kRecordBytes; }

uint8_t controlByteOf(const PresetDescription& p) {
  return PresetControl::encode(p.bank, p.cutoff, p.resonance, p.secondOscillator).byte;
}

// --- changing bytes ---------------------------------------------------------

void growTo(RomSet& set, const std::string& name, size_t size) {
  std::optional<std::vector<uint8_t>>& file = set.file(name);
  if (!file) file = std::vector<uint8_t>();
  if (file->size() < size) file->resize(size, 0);
}

void setByte(RomSet& set, const std::string& name, size_t i, uint8_t value) { (*set.file(name))[i] = value; }

// --- pitch ------------------------------------------------------------------

// Fills the 2048 entries from a frequency for each note: entry 627 + 16 k is
// note 24 + k exactly; entries between notes lie on the geometric line
// between them, so bends and the top entry 2046 stay smooth.
template <typename Frequency>
std::vector<double> entryFrequencies(Frequency frequencyOf) {
  std::vector<double> hz(kTablePairs);
  for (int i = 0; i < kTablePairs; ++i) {
    const int offset = i - 627;
    const int note = 24 + (offset >= 0 ? offset / 16 : -((-offset + 15) / 16));
    const int within = offset - (note - 24) * 16;
    const double low = frequencyOf(note);
    hz[static_cast<size_t>(i)] =
        within == 0 ? low : low * std::pow(frequencyOf(note + 1) / low, within / 16.0);
  }
  return hz;
}

std::vector<uint16_t> stepsFrom(const std::vector<double>& hz, double rate, const SetDescription& d,
                                std::vector<std::string>& notes) {
  std::vector<uint16_t> steps(hz.size());
  std::vector<double> exact(hz.size());
  for (size_t i = 0; i < hz.size(); ++i) {
    exact[i] = std::round(hz[i] * 1048576.0 / rate);
    // A scale can reach beyond any double (huge ratios over many periods).
    if (std::isnan(exact[i])) exact[i] = 0.0;
    steps[i] = static_cast<uint16_t>(std::clamp(exact[i], 0.0, static_cast<double>(kMaxStep)));
  }
  // The notes as the instrument reads them (entry 627 + 16 (n - 24), the
  // entries past the table's end falling back to entry 2046).
  int firstOut = -1, silent = 0;
  for (int note = 0; note < kNotes; ++note) {
    size_t index = static_cast<size_t>(627 + 16 * std::max(note - 24, 0));
    if (index >= hz.size()) index = hz.size() - 2;
    if (exact[index] > kMaxStep && firstOut < 0) firstOut = note;
    if (exact[index] < 1.0) ++silent;
  }
  if (firstOut >= 0)
    notes.push_back(d.file + ": [pitch]: notes " + std::to_string(firstOut) +
                    "-127 need steps above 65535 and all play the top step; the highest playable note is " +
                    std::to_string(firstOut - 1));
  if (silent > 0)
    notes.push_back(d.file + ": [pitch]: " + std::to_string(silent) +
                    " notes are too low for a step of 1 and stand still");
  return steps;
}

// Scala files are a few lines; anything but a regular file of at most 1 MiB
// (a device, a pipe) is refused rather than read without end.
std::string readText(const std::string& path, const SetDescription& d, const char* key) {
  constexpr uintmax_t kMaxScalaBytes = 1u << 20;
  std::error_code error;
  const std::string where = d.file + ":" + std::to_string(d.pitch.line) + ": [pitch], key \"" + key + "\": ";
  if (!fs::is_regular_file(path, error)) throw DescriptionError(where + path + " is not a readable file");
  if (fs::file_size(path, error) > kMaxScalaBytes)
    throw DescriptionError(where + path + " is larger than 1 MiB");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DescriptionError(where + path + " cannot be opened");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint16_t> describedSteps(const SetDescription& d, std::vector<std::string>& notes) {
  const PitchDescription& p = d.pitch;
  switch (p.tuning) {
    case PitchDescription::Tuning::steps:
      return p.steps;
    case PitchDescription::Tuning::keep:
    case PitchDescription::Tuning::equal: {
      // Entry 1347 is note 69; sixteen entries per semitone, 192 per octave.
      // exp2Ratio keeps the steps the same on every platform.
      std::vector<double> hz(kTablePairs);
      for (int i = 0; i < kTablePairs; ++i) hz[static_cast<size_t>(i)] = p.a4Hz * exp2Ratio(i - 1347, 192);
      return stepsFrom(hz, p.rate, d, notes);
    }
    case PitchDescription::Tuning::scala: {
      const ScalaScale scale = parseScala(readText(p.scalaPath, d, "scala"), p.scalaPath);
      KeyboardMapping mapping;
      mapping.referenceHz = p.a4Hz;
      if (!p.kbmPath.empty()) mapping = parseKeyboardMapping(readText(p.kbmPath, d, "kbm"), p.kbmPath);
      if (!scalaFrequency(scale, mapping, mapping.referenceNote))
        throw DescriptionError(p.kbmPath + ": the reference note " + std::to_string(mapping.referenceNote) +
                               " is not mapped to a degree");
      // An unmapped key plays the nearest mapped key below it.
      auto frequencyOf = [&](int note) {
        for (int key = note; key > note - 2048; --key)
          if (const auto hz = scalaFrequency(scale, mapping, key)) return *hz;
        return *scalaFrequency(scale, mapping, mapping.referenceNote);
      };
      std::vector<double> hz = entryFrequencies(frequencyOf);
      int unmapped = 0;
      for (int note = 0; note < kNotes; ++note) unmapped += !scalaFrequency(scale, mapping, note).has_value();
      if (unmapped > 0)
        notes.push_back(p.kbmPath + ": " + std::to_string(unmapped) +
                        " of the 128 keys are unmapped (x) and play the nearest mapped key below them");
      notes.push_back(p.scalaPath + ": " + std::to_string(scale.ratios.size()) + " degrees, \"" +
                      scale.description + "\"; note " + std::to_string(mapping.referenceNote) + " = " +
                      fixed(mapping.referenceHz, 3) + " Hz");
      return stepsFrom(hz, p.rate, d, notes);
    }
  }
  return {};
}

void applyPitch(RomSet& set, const std::vector<uint16_t>& steps) {
  if (steps.size() > pairLength(set, "DD1", "DD2")) {
    growTo(set, "DD1", steps.size());
    growTo(set, "DD2", steps.size());
  }
  for (size_t i = 0; i < steps.size(); ++i) {
    const uint16_t now = static_cast<uint16_t>(byteOf(set, "DD2", i) << 8 | byteOf(set, "DD1", i));
    if (now == steps[i]) continue;
    setByte(set, "DD1", i, static_cast<uint8_t>(steps[i] & 0xFF));
    setByte(set, "DD2", i, static_cast<uint8_t>(steps[i] >> 8));
  }
}

// --- waves ------------------------------------------------------------------

// Lanczos sigma: tapers the top harmonics so a band-limited wave does not
// ring (Gibbs) next to its edges.
double sigma(int harmonic, int limit) {
  const double x = std::numbers::pi * harmonic / (limit + 1);
  return sinTurns(harmonic, 2 * (limit + 1)) / x;
}

std::vector<double> shapeCycle(const BankDescription& b) {
  std::vector<double> wave(kSamplesPerBank, 0.0);
  const int limit = b.shape == "sine" ? 1 : b.harmonics;
  for (int h = 1; h <= limit; ++h) {
    double amplitude = 0.0;
    int64_t quarter = 0;  // cosine phase for the pulse
    if (b.shape == "sine") {
      amplitude = 1.0;
    } else if (b.shape == "saw") {
      amplitude = (h % 2 == 1 ? 1.0 : -1.0) / h;
    } else if (b.shape == "square") {
      amplitude = h % 2 == 1 ? 1.0 / h : 0.0;
    } else if (b.shape == "triangle") {
      amplitude = h % 2 == 1 ? ((h / 2) % 2 == 0 ? 1.0 : -1.0) / (static_cast<double>(h) * h) : 0.0;
    } else {  // pulse of the given duty cycle, centred on sample 0
      amplitude = std::sin(std::numbers::pi * h * b.width) / h;
      quarter = kSamplesPerBank / 4;
    }
    if (amplitude == 0.0) continue;
    if (b.shape != "sine" && b.shape != "triangle") amplitude *= sigma(h, limit);
    for (int k = 0; k < kSamplesPerBank; ++k)
      wave[static_cast<size_t>(k)] += amplitude * sinTurns(int64_t{h} * k + quarter, kSamplesPerBank);
  }
  return wave;
}

// Quantises a cycle at full scale 1.0 to signed 10-bit magnitudes and says
// how far the result lies from it.
std::vector<int> quantise(std::vector<double> wave, bool normalize, const std::string& what,
                          std::vector<std::string>& notes) {
  double peak = 0.0;
  for (double x : wave) peak = std::max(peak, std::fabs(x));
  if (normalize && peak > 0.0)
    for (double& x : wave) x *= kMaxMagnitude / kWaveFullScale / peak;
  std::vector<int> values;
  double signal = 0.0, noise = 0.0, worst = 0.0;
  int clipped = 0;
  for (double x : wave) {
    const double scaled = x * kWaveFullScale;
    double magnitude = std::round(std::fabs(scaled));
    if (magnitude > kMaxMagnitude) {
      magnitude = kMaxMagnitude;
      ++clipped;
    }
    const int value = static_cast<int>(scaled < 0.0 ? -magnitude : magnitude);
    values.push_back(value);
    const double error = value - scaled;
    signal += scaled * scaled;
    noise += error * error;
    worst = std::max(worst, std::fabs(error));
  }
  std::string note = what + ": 10-bit quantisation, peak error " + fixed(worst, 3) + " of a step";
  if (noise > 0.0 && signal > 0.0)
    note += ", signal to noise " + fixed(10.0 * std::log10(signal / noise), 1) + " dB";
  else if (signal > 0.0)
    note += ", exact";
  if (clipped > 0)
    note += "; " + std::to_string(clipped) + " samples clipped at full scale (normalize = false)";
  if (signal == 0.0) note += "; the bank is silent";
  notes.push_back(note);
  return values;
}

std::vector<int> describedSamples(const SetDescription& d, const CycleReader& readCycle,
                                  std::vector<std::string>& notes) {
  std::vector<int> all;
  for (size_t b = 0; b < d.banks.size(); ++b) {
    const BankDescription& bank = d.banks[b];
    const std::string what = d.file + ": [[bank]] " + std::to_string(b);
    std::vector<int> values;
    switch (bank.source) {
      case BankDescription::Source::samples:
        values = bank.samples;
        break;
      case BankDescription::Source::shape:
        values = quantise(shapeCycle(bank), bank.normalize, what + " (" + bank.shape + ")", notes);
        break;
      case BankDescription::Source::wave: {
        if (!readCycle)
          throw DescriptionError(d.file + ":" + std::to_string(bank.line) + ": [[bank]] " +
                                 std::to_string(b) + ", key \"wave\": WAV files cannot be read here");
        std::vector<double> cycle;
        try {
          cycle = readCycle(bank.wavePath);
        } catch (const DescriptionError& e) {
          throw DescriptionError(d.file + ":" + std::to_string(bank.line) + ": [[bank]] " +
                                 std::to_string(b) + ", key \"wave\": " + e.what());
        }
        cycle.resize(kSamplesPerBank, 0.0);
        values = quantise(cycle, bank.normalize,
                          what + " (" + fs::path(bank.wavePath).filename().string() + ")", notes);
        break;
      }
    }
    all.insert(all.end(), values.begin(), values.end());
  }
  return all;
}

// Over a base, a sample that already reads as described keeps its bytes
// (a negative zero, the unread high bits); over blank files every sample is
// written, zero as a positive zero.
void applyWaves(RomSet& set, const std::vector<int>& values, bool overBase) {
  int needed = 0;  // samples the table must hold so that every non-zero value has a place
  for (int k = 0; k < static_cast<int>(values.size()); ++k)
    if (values[static_cast<size_t>(k)] != 0 && sampleValue(set, k) != values[static_cast<size_t>(k)])
      needed = k + 1;
  const auto first = static_cast<int>(pairLength(set, "DD13", "DD14"));
  const auto second = static_cast<int>(pairLength(set, "DD18", "DD19"));
  if (needed > first + second) {
    // Grow the second pair when that reaches; only past it does the first
    // pair grow, which moves every later sample.
    if (needed > first + kTablePairs) {
      growTo(set, "DD13", kTablePairs);
      growTo(set, "DD14", kTablePairs);
      growTo(set, "DD18", static_cast<size_t>(needed - kTablePairs));
      growTo(set, "DD19", static_cast<size_t>(needed - kTablePairs));
    } else {
      growTo(set, "DD18", static_cast<size_t>(needed - first));
      growTo(set, "DD19", static_cast<size_t>(needed - first));
    }
  }
  for (int k = 0; k < static_cast<int>(values.size()); ++k) {
    const int value = values[static_cast<size_t>(k)];
    if (overBase && sampleValue(set, k) == value) continue;
    const SamplePlace place = *samplePlace(set, k);
    const int magnitude = std::abs(value);
    // Bits 3-7 of the high byte are not read; they keep what the base had.
    const uint8_t keep = byteOf(set, place.high, place.index) & 0xF8;
    setByte(set, place.low, place.index, static_cast<uint8_t>(magnitude & 0xFF));
    setByte(set, place.high, place.index,
            static_cast<uint8_t>(keep | (magnitude >> 8 & 0x03) | (value >= 0 ? 0x04 : 0x00)));
  }
}

// --- presets ----------------------------------------------------------------

std::array<uint8_t, kRecordBytes> describedRecord(const PresetDescription& p, const RomSet& set, int preset) {
  std::array<uint8_t, kRecordBytes> record{};
  for (int i = 0; i < kRecordBytes; ++i)
    record[static_cast<size_t>(i)] = imageByte(set, recordStart(preset) + i);
  for (size_t e = 0; e < kEnvelopeBytes.size(); ++e)
    record[static_cast<size_t>(kEnvelopeBytes[e])] = p.envelope[e];
  record[kControlByte] = controlByteOf(p);
  return record;
}

void applyPresets(RomSet& set, const SetDescription& d, std::vector<std::string>& notes) {
  // A value that differs from the zero read past the image's end needs the
  // image to reach it: Midi_DD2 is the last file, so growing it adds bytes at
  // the very end and moves nothing.
  size_t needed = imageSize(set);
  for (int p = 0; p < kPresetCount; ++p) {
    const auto record = describedRecord(d.presets[static_cast<size_t>(p)], set, p);
    for (int i = 0; i < kRecordBytes; ++i)
      if (recordStart(p) + i >= imageSize(set) && record[static_cast<size_t>(i)] != 0)
        needed = std::max(needed, recordStart(p) + kRecordBytes);
  }
  if (needed > imageSize(set)) growTo(set, "Midi_DD2", sizeOf(set, "Midi_DD2") + needed - imageSize(set));

  std::vector<int> partial;
  for (int p = 0; p < kPresetCount; ++p) {
    const auto record = describedRecord(d.presets[static_cast<size_t>(p)], set, p);
    for (int i = 0; i < kRecordBytes; ++i) {
      const auto place = imagePlace(set, recordStart(p) + i);
      if (place && byteOf(set, place->first, place->second) != record[static_cast<size_t>(i)])
        setByte(set, place->first, place->second, record[static_cast<size_t>(i)]);
    }
    if (recordStart(p) + kRecordBytes > imageSize(set)) partial.push_back(p);
  }
  if (!partial.empty())
    notes.push_back("the image holds " + std::to_string(imageSize(set)) + " bytes, so " +
                    std::to_string(partial.size()) + " preset records (from preset " +
                    std::to_string(partial[0]) +
                    ") are not whole: the instrument ignores their envelope and oscillator setting");
}

// After the writes every described value must read back: when the base's
// layout puts a preset byte on a pitch or wave byte, the last write wins and
// the description cannot hold.
void checkReadBack(const RomSet& set, const SetDescription& d, const std::vector<uint16_t>& steps,
                   const std::vector<int>& samples) {
  for (size_t i = 0; i < steps.size(); ++i)
    if ((byteOf(set, "DD2", i) << 8 | byteOf(set, "DD1", i)) != steps[i])
      throw DescriptionError(
          d.file + ": [pitch] step " + std::to_string(i) +
          " shares its bytes with a preset record in this ROM layout, and the two values differ");
  for (int k = 0; k < static_cast<int>(samples.size()); ++k)
    if (sampleValue(set, k) != samples[static_cast<size_t>(k)])
      throw DescriptionError(
          d.file + ": [[bank]] " + std::to_string(k / kSamplesPerBank) + " sample " +
          std::to_string(k % kSamplesPerBank) +
          " shares its bytes with a preset record in this ROM layout, and the two values differ");
}

}  // namespace

BuildOutcome buildRomSet(const SetDescription& d, const std::optional<RomSet>& base,
                         const CycleReader& readCycle) {
  BuildOutcome outcome;
  outcome.notes = d.notes;
  outcome.set = base ? *base : RomSet::blank();
  RomSet& set = outcome.set;

  std::vector<uint16_t> steps;
  if (!(base && d.pitch.tuning == PitchDescription::Tuning::keep)) steps = describedSteps(d, outcome.notes);
  const std::vector<int> samples = describedSamples(d, readCycle, outcome.notes);

  applyPitch(set, steps);
  applyWaves(set, samples, base.has_value());
  applyPresets(set, d, outcome.notes);
  checkReadBack(set, d, steps, samples);
  return outcome;
}

SetDescription describeRomSet(const RomSet& set, const std::vector<std::string>& presetNames) {
  SetDescription d;
  d.pitch.tuning = PitchDescription::Tuning::steps;
  const size_t entries = pairLength(set, "DD1", "DD2");
  for (size_t i = 0; i < entries; ++i)
    d.pitch.steps.push_back(static_cast<uint16_t>(byteOf(set, "DD2", i) << 8 | byteOf(set, "DD1", i)));
  for (int b = 0; b < kBankCount; ++b) {
    BankDescription bank;
    bank.source = BankDescription::Source::samples;
    bank.normalize = false;
    for (int s = 0; s < kSamplesPerBank; ++s)
      bank.samples.push_back(sampleValue(set, b * kSamplesPerBank + s));
    d.banks.push_back(bank);
  }
  for (int p = 0; p < kPresetCount; ++p) {
    PresetDescription preset;
    const auto n = static_cast<size_t>(p);
    preset.name =
        n < presetNames.size() && !presetNames[n].empty() ? presetNames[n] : "Preset " + std::to_string(p);
    for (size_t e = 0; e < kEnvelopeBytes.size(); ++e)
      preset.envelope[e] = imageByte(set, recordStart(p) + kEnvelopeBytes[e]);
    const PresetControl control{imageByte(set, recordStart(p) + kControlByte)};
    preset.bank = control.waveBank();
    preset.cutoff = control.cutoffCode();
    preset.resonance = control.resonanceCode();
    preset.secondOscillator = control.secondOscillator();
    d.presets.push_back(preset);
  }
  return d;
}

std::optional<RomSet> readBase(const SetDescription& d) {
  if (d.base.empty()) return std::nullopt;
  try {
    return readRomDirectory(d.base);
  } catch (const DescriptionError& e) {
    throw DescriptionError(d.file + ":" + std::to_string(d.baseLine) + ": [set], key \"base\": " + e.what());
  }
}

RomSet readRomDirectory(const std::string& directory) {
  std::error_code error;
  if (!fs::is_directory(directory, error)) throw DescriptionError(directory + ": no such ROM directory");
  RomSet set;
  for (const std::string& name : fileNames()) {
    const fs::path path = fs::path(directory) / (name + ".BIN");
    set.remove(name);
    if (!fs::is_regular_file(path, error)) continue;
    const auto size = fs::file_size(path, error);
    if (error || size > kMaxRomFileBytes)
      throw DescriptionError(path.string() + ": " +
                             (error ? error.message() : "larger than any ROM dump (16 MiB)"));
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in ||
        (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))))
      throw DescriptionError(path.string() + ": cannot be read");
    set.file(name) = std::move(bytes);
  }
  return set;
}

}  // namespace romset
