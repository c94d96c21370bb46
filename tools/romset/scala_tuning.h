// Scala scale (.scl) and keyboard mapping (.kbm) files, read into the
// frequency of every MIDI note.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace romset {

struct ScalaScale {
  std::string description;
  std::vector<double> ratios;  // degrees 1..n as frequency ratios; the last is the period
};

struct KeyboardMapping {
  int firstNote = 0, lastNote = 127;
  int middleNote = 60;     // where degree 0 lies
  int referenceNote = 69;  // the note tuned to referenceHz
  double referenceHz = 440.0;
  int octaveDegree = 0;  // degree of the formal octave; 0 takes the scale's period
  std::vector<int> map;  // degree per key of a pattern, -1 unmapped; empty: one key per degree
};

// Throw DescriptionError with "FILE:LINE: what".
ScalaScale parseScala(const std::string& text, const std::string& file);
KeyboardMapping parseKeyboardMapping(const std::string& text, const std::string& file);

// Frequency of a note (any integer, also beyond 0..127); nullopt for an
// unmapped key.
std::optional<double> scalaFrequency(const ScalaScale& scale, const KeyboardMapping& mapping, int note);

}  // namespace romset
