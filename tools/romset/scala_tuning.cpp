#include "tools/romset/scala_tuning.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tools/romset/description.h"

namespace romset {

namespace {

// The lines of a Scala file that carry data: comments (starting with '!')
// left out, each with its line number.
std::vector<std::pair<int, std::string>> dataLines(const std::string& text) {
  std::vector<std::pair<int, std::string>> lines;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '!') continue;
    lines.emplace_back(number, line);
  }
  return lines;
}

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
  throw DescriptionError(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what);
}

std::string firstWord(const std::string& line) {
  std::istringstream words(line);
  std::string word;
  words >> word;
  return word;
}

bool wholeNumber(const std::string& word, long long& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(word.c_str(), &end, 10);
  return *end == '\0' && errno == 0;
}

int integerLine(const std::vector<std::pair<int, std::string>>& lines, size_t& at, const std::string& file,
                const char* what, long long low, long long high) {
  if (at >= lines.size()) fail(file, 0, std::string("ends before the ") + what);
  long long value = 0;
  if (!wholeNumber(firstWord(lines[at].second), value) || value < low || value > high)
    fail(file, lines[at].first,
         std::string(what) + ": \"" + firstWord(lines[at].second) + "\" is not a whole number from " +
             std::to_string(low) + " to " + std::to_string(high));
  ++at;
  return static_cast<int>(value);
}

// floor division for a positive divisor.
long long floorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

ScalaScale parseScala(const std::string& text, const std::string& file) {
  const auto lines = dataLines(text);
  if (lines.empty()) fail(file, 0, "is empty; a Scala scale starts with a description line");
  ScalaScale scale;
  scale.description = lines[0].second;
  size_t at = 1;
  const int count = integerLine(lines, at, file, "number of notes", 1, 1024);
  for (int i = 0; i < count; ++i) {
    if (at >= lines.size())
      fail(file, 0, "ends after " + std::to_string(i) + " of its " + std::to_string(count) + " pitches");
    const auto& [number, line] = lines[at++];
    const std::string word = firstWord(line);
    double ratio = 0.0;
    if (word.find('.') != std::string::npos) {
      char* end = nullptr;
      const double cents = std::strtod(word.c_str(), &end);
      if (*end != '\0' || !std::isfinite(cents) || std::fabs(cents) > 1e6)
        fail(file, number, "\"" + word + "\" is not a pitch in cents");
      ratio = std::pow(2.0, cents / 1200.0);
    } else {
      const size_t slash = word.find('/');
      long long numerator = 0, denominator = 1;
      const bool ok = wholeNumber(word.substr(0, slash), numerator) &&
                      (slash == std::string::npos || wholeNumber(word.substr(slash + 1), denominator));
      if (!ok || numerator <= 0 || denominator <= 0)
        fail(file, number,
             "\"" + word + "\" is not a pitch: give cents (with a point) or a ratio such as 3/2");
      ratio = static_cast<double>(numerator) / static_cast<double>(denominator);
    }
    if (!(ratio > 0.0) || !std::isfinite(ratio)) fail(file, number, "\"" + word + "\" is not a usable pitch");
    scale.ratios.push_back(ratio);
  }
  if (!(scale.ratios.back() > 1.0))
    fail(file, lines[at - 1].first, "the last pitch is the period and must lie above the first (1/1)");
  return scale;
}

KeyboardMapping parseKeyboardMapping(const std::string& text, const std::string& file) {
  const auto lines = dataLines(text);
  KeyboardMapping m;
  size_t at = 0;
  const int size = integerLine(lines, at, file, "map size", 0, 1024);
  m.firstNote = integerLine(lines, at, file, "first note", 0, 127);
  m.lastNote = integerLine(lines, at, file, "last note", 0, 127);
  m.middleNote = integerLine(lines, at, file, "middle note", 0, 127);
  m.referenceNote = integerLine(lines, at, file, "reference note", 0, 127);
  if (at >= lines.size()) fail(file, 0, "ends before the reference frequency");
  {
    const std::string word = firstWord(lines[at].second);
    char* end = nullptr;
    m.referenceHz = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !(m.referenceHz > 0.0 && m.referenceHz < 1e6))
      fail(file, lines[at].first, "reference frequency: \"" + word + "\" is not a frequency in Hz");
    ++at;
  }
  m.octaveDegree = integerLine(lines, at, file, "formal octave degree", 0, 1 << 20);
  for (int i = 0; i < size; ++i) {
    if (at >= lines.size())
      fail(file, 0, "ends after " + std::to_string(i) + " of its " + std::to_string(size) + " keys");
    const std::string word = firstWord(lines[at].second);
    long long degree = 0;
    if (word == "x" || word == "X")
      degree = -1;
    else if (!wholeNumber(word, degree) || degree < 0 || degree > (1 << 20))
      fail(file, lines[at].first,
           "key " + std::to_string(i) + ": \"" + word + "\" is neither a degree nor x");
    m.map.push_back(static_cast<int>(degree));
    ++at;
  }
  return m;
}

std::optional<double> scalaFrequency(const ScalaScale& scale, const KeyboardMapping& mapping, int note) {
  const auto n = static_cast<long long>(scale.ratios.size());
  auto degreeRatio = [&](long long degree) {
    const long long periods = floorDiv(degree, n);
    const long long step = degree - periods * n;
    const double within = step == 0 ? 1.0 : scale.ratios[static_cast<size_t>(step - 1)];
    return std::pow(scale.ratios.back(), static_cast<double>(periods)) * within;
  };
  auto ratioOf = [&](int key) -> std::optional<double> {
    const long long offset = key - mapping.middleNote;
    if (mapping.map.empty()) return degreeRatio(offset);
    const auto size = static_cast<long long>(mapping.map.size());
    const long long patterns = floorDiv(offset, size);
    const int degree = mapping.map[static_cast<size_t>(offset - patterns * size)];
    if (degree < 0) return std::nullopt;
    const double octave = mapping.octaveDegree == 0 ? scale.ratios.back() : degreeRatio(mapping.octaveDegree);
    return std::pow(octave, static_cast<double>(patterns)) * degreeRatio(degree);
  };
  const std::optional<double> reference = ratioOf(mapping.referenceNote);
  const std::optional<double> ratio = ratioOf(note);
  if (!reference || !ratio) return std::nullopt;
  return mapping.referenceHz * *ratio / *reference;
}

}  // namespace romset
