// A ROM set as a musician writes it: a TOML description of the pitch table,
// the eight wave banks and the 32 presets, optionally over the bytes of an
// existing ROM directory. Reading it checks every key and value and reports
// the first problem with its file, line and key.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace romset {

// "FILE:LINE: key: what is wrong" (the line left out when there is none).
struct DescriptionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PitchDescription {
  enum class Tuning { keep, equal, scala, steps };
  // keep: the base directory's table, or equal temperament without a base.
  Tuning tuning = Tuning::keep;
  double a4Hz = 440.0;
  double rate = 44100.0;           // the sample rate at which the steps are exact
  std::string scalaPath, kbmPath;  // resolved against the description's directory
  std::vector<uint16_t> steps;
  int line = 0;
};

struct BankDescription {
  enum class Source { wave, shape, samples };
  Source source = Source::samples;
  std::string wavePath;  // resolved
  std::string shape;     // sine, saw, square, triangle, pulse
  int harmonics = 32;
  double width = 0.5;  // pulse duty cycle
  bool normalize = true;
  std::vector<int> samples;  // -1023..1023, sign-and-magnitude value x 512
  int line = 0;
};

// Envelope bytes in record order 0, 1, 2, 4, 6, 8.
constexpr std::array<const char*, 6> kEnvelopeKeys = {"ramp_start", "ramp_rate",  "ramp_end",
                                                      "glide_time", "hold_level", "hold_time"};

struct PresetDescription {
  std::string name;
  int bank = 0, cutoff = 0, resonance = 0;
  bool secondOscillator = false;
  std::array<uint8_t, 6> envelope{};
  int line = 0;
};

struct SetDescription {
  std::string file;       // as named, for messages
  std::string directory;  // where relative paths start
  std::string name;
  std::string base;  // resolved ROM directory, empty for none
  int baseLine = 0;
  PitchDescription pitch;
  std::vector<BankDescription> banks;      // eight
  std::vector<PresetDescription> presets;  // thirty-two
  std::vector<std::string> notes;          // what was rounded, for the user
};

// Parses description text; file names the text in messages and directory
// anchors relative paths. Throws DescriptionError.
SetDescription parseDescription(const std::string& text, const std::string& file,
                                const std::string& directory);
// Reads and parses a description file. Throws DescriptionError.
SetDescription readDescription(const std::string& path);

// The description as TOML text: every value the instrument reads, with the
// banks named by wavePath (written as given) or as exact samples.
std::string formatDescription(const SetDescription& description);

// Only the preset names of a description, for reports; empty entries where
// the text has none. Never throws.
std::vector<std::string> presetNamesOf(const std::string& text);

}  // namespace romset
