// Writes a SetDescription as TOML text that reads back to the same values.
#include <cstdio>
#include <sstream>

#include "tools/romset/description.h"

namespace romset {

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.17g", value);
  std::string out = text;
  // A TOML float needs a point or an exponent.
  if (out.find_first_of(".eEn") == std::string::npos) out += ".0";
  return out;
}

template <typename T>
void list(std::ostringstream& out, const std::vector<T>& values) {
  out << "[";
  for (size_t i = 0; i < values.size(); ++i) {
    out << (i % 16 == 0 ? "\n  " : " ") << values[i] << ",";
  }
  out << (values.empty() ? "]\n" : "\n]\n");
}

}  // namespace

std::string formatDescription(const SetDescription& d) {
  std::ostringstream out;
  out << "# A ROM set description: build it with `sarn2 build-roms THIS.toml -o DIR`.\n\n";
  out << "[set]\nname = " << quoted(d.name) << "\n";
  if (!d.base.empty()) out << "base = " << quoted(d.base) << "\n";

  const PitchDescription& p = d.pitch;
  switch (p.tuning) {
    case PitchDescription::Tuning::keep:
      break;
    case PitchDescription::Tuning::equal:
      out << "\n[pitch]\ntuning = \"equal\"\na4_hz = " << number(p.a4Hz) << "\nrate = " << number(p.rate)
          << "\n";
      break;
    case PitchDescription::Tuning::scala:
      out << "\n[pitch]\ntuning = \"scala\"\nscala = " << quoted(p.scalaPath) << "\n";
      if (!p.kbmPath.empty()) out << "kbm = " << quoted(p.kbmPath) << "\n";
      out << "a4_hz = " << number(p.a4Hz) << "\nrate = " << number(p.rate) << "\n";
      break;
    case PitchDescription::Tuning::steps:
      out << "\n[pitch]\n# Phase steps of the pitch table; note n reads entry 627 + 16 * (n - 24).\nsteps = ";
      list(out, p.steps);
      break;
  }

  for (size_t b = 0; b < d.banks.size(); ++b) {
    const BankDescription& bank = d.banks[b];
    out << "\n[[bank]]  # " << b << "\n";
    switch (bank.source) {
      case BankDescription::Source::wave:
        out << "wave = " << quoted(bank.wavePath) << "\n";
        break;
      case BankDescription::Source::shape:
        out << "shape = " << quoted(bank.shape) << "\nharmonics = " << bank.harmonics << "\n";
        if (bank.shape == "pulse") out << "width = " << number(bank.width) << "\n";
        break;
      case BankDescription::Source::samples:
        out << "samples = ";
        list(out, bank.samples);
        break;
    }
    if (bank.source != BankDescription::Source::samples)
      out << "normalize = " << (bank.normalize ? "true" : "false") << "\n";
  }

  for (size_t i = 0; i < d.presets.size(); ++i) {
    const PresetDescription& preset = d.presets[i];
    out << "\n[[preset]]  # " << i << "\nname = " << quoted(preset.name) << "\nbank = " << preset.bank
        << "\ncutoff = " << preset.cutoff << "\nresonance = " << preset.resonance
        << "\nsecond_oscillator = " << (preset.secondOscillator ? "true" : "false")
        << "\n[preset.envelope]\n";
    for (size_t k = 0; k < kEnvelopeKeys.size(); ++k)
      out << kEnvelopeKeys[k] << " = " << static_cast<int>(preset.envelope[k]) << "\n";
  }
  return out.str();
}

}  // namespace romset
