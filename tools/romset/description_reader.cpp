// Reads a ROM set description (TOML) into a SetDescription, checking every
// key and value. toml11 finds the syntax errors; everything else, unknown
// keys included, is checked here so that a typing mistake never passes
// silently as a default.
#include <toml.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tools/romset/description.h"
#include "tools/romset/romset.h"

namespace fs = std::filesystem;

namespace romset {

namespace {

using Value = toml::basic_value<toml::discard_comments, std::map, std::vector>;
using Table = Value::table_type;

constexpr double kEnvelopeRate = 44100.0;  // human units are seconds at this rate
constexpr int kMaxHarmonics = 255;         // a 512-sample cycle holds 255 below its Nyquist
constexpr int kMaxMagnitude = 1023;

std::string formatNumber(double value) {
  std::ostringstream text;
  text.precision(10);
  text << value;
  return text.str();
}

class Reader {
 public:
  Reader(std::string file, std::string directory) : file(std::move(file)), directory(std::move(directory)) {}

  [[noreturn]] void fail(int line, const std::string& where, const std::string& what) const {
    std::string message = file;
    if (line > 0) message += ":" + std::to_string(line);
    throw DescriptionError(message + ": " + where + ": " + what);
  }
  [[noreturn]] void fail(const Value& value, const std::string& where, const std::string& what) const {
    fail(lineOf(value), where, what);
  }

  static int lineOf(const Value& value) { return static_cast<int>(value.location().line()); }

  // Every key of the table must be one of the allowed; the first unknown one
  // by line is reported.
  void onlyKeys(const Value& table, const std::string& where,
                std::initializer_list<const char*> allowed) const {
    const Value* first = nullptr;
    std::string firstKey;
    for (const auto& [key, value] : table.as_table()) {
      const std::string& name = key;
      if (std::any_of(allowed.begin(), allowed.end(), [&](const char* a) { return name == a; })) continue;
      if (first == nullptr || lineOf(value) < lineOf(*first)) {
        first = &value;
        firstKey = key;
      }
    }
    if (first == nullptr) return;
    std::string known;
    for (const char* a : allowed) known += (known.empty() ? "" : ", ") + std::string(a);
    fail(*first, where, "unknown key \"" + firstKey + "\" (known here: " + known + ")");
  }

  static const Value* find(const Value& table, const std::string& key) {
    const Table& t = table.as_table();
    const auto found = t.find(key);
    return found == t.end() ? nullptr : &found->second;
  }

  std::string keyName(const std::string& where, const std::string& key) const {
    return where + ", key \"" + key + "\"";
  }

  int64_t integer(const Value& table, const std::string& where, const std::string& key, int64_t low,
                  int64_t high, int64_t fallback, bool required = false) const {
    const Value* value = find(table, key);
    if (value == nullptr) {
      if (required) fail(table, keyName(where, key), "missing; give a whole number " + range(low, high));
      return fallback;
    }
    if (!value->is_integer()) fail(*value, keyName(where, key), "must be a whole number " + range(low, high));
    const int64_t n = value->as_integer();
    if (n < low || n > high)
      fail(*value, keyName(where, key), std::to_string(n) + " is out of range " + range(low, high));
    return n;
  }

  double number(const Value& table, const std::string& where, const std::string& key, double low, double high,
                double fallback) const {
    const Value* value = find(table, key);
    if (value == nullptr) return fallback;
    return numberValue(*value, keyName(where, key), low, high);
  }

  double numberValue(const Value& value, const std::string& where, double low, double high) const {
    double x = 0.0;
    if (value.is_integer())
      x = static_cast<double>(value.as_integer());
    else if (value.is_floating())
      x = value.as_floating();
    else
      fail(value, where, "must be a number from " + formatNumber(low) + " to " + formatNumber(high));
    if (!(x >= low && x <= high))
      fail(value, where,
           formatNumber(x) + " is out of range " + formatNumber(low) + "-" + formatNumber(high));
    return x;
  }

  bool boolean(const Value& table, const std::string& where, const std::string& key, bool fallback) const {
    const Value* value = find(table, key);
    if (value == nullptr) return fallback;
    if (!value->is_boolean()) fail(*value, keyName(where, key), "must be true or false");
    return value->as_boolean();
  }

  std::string text(const Value& table, const std::string& where, const std::string& key,
                   bool required = false) const {
    const Value* value = find(table, key);
    if (value == nullptr) {
      if (required) fail(table, keyName(where, key), "missing; give a quoted text");
      return {};
    }
    if (!value->is_string()) fail(*value, keyName(where, key), "must be a quoted text");
    return value->as_string().str;
  }

  std::string path(const Value& table, const std::string& where, const std::string& key,
                   bool required = false) const {
    const std::string given = text(table, where, key, required);
    if (given.empty()) {
      if (find(table, key) != nullptr) fail(*find(table, key), keyName(where, key), "names no file");
      return {};
    }
    const fs::path p(given);
    return p.is_absolute() || directory.empty() ? given
                                                : (fs::path(directory) / p).lexically_normal().string();
  }

  const Value& table(const Value& parent, const std::string& key, const std::string& where) const {
    const Value* value = find(parent, key);
    if (value == nullptr) fail(parent, where, "missing");
    if (!value->is_table()) fail(*value, where, "must be a table ([" + key + "])");
    return *value;
  }

  static std::string range(int64_t low, int64_t high) {
    return "from " + std::to_string(low) + " to " + std::to_string(high);
  }

  std::string file, directory;
};

void readSet(const Reader& r, const Value& root, SetDescription& d) {
  const Value& set = r.table(root, "set", "[set]");
  r.onlyKeys(set, "[set]", {"name", "base"});
  d.name = r.text(set, "[set]", "name", true);
  d.base = r.path(set, "[set]", "base");
  if (const Value* base = Reader::find(set, "base")) d.baseLine = Reader::lineOf(*base);
}

void readPitch(const Reader& r, const Value& root, SetDescription& d) {
  const Value* found = Reader::find(root, "pitch");
  if (found == nullptr) return;
  if (!found->is_table()) r.fail(*found, "[pitch]", "must be a table ([pitch])");
  const Value& pitch = *found;
  const std::string where = "[pitch]";
  PitchDescription& p = d.pitch;
  p.line = Reader::lineOf(pitch);
  const std::string tuning = r.text(pitch, where, "tuning");
  const bool hasSteps = Reader::find(pitch, "steps") != nullptr;
  if (tuning.empty() && !hasSteps)
    r.fail(pitch, r.keyName(where, "tuning"), "missing; give \"equal\" or \"scala\", or a list of steps");
  if (tuning == "equal" || tuning == "scala") {
    if (hasSteps)
      r.fail(*Reader::find(pitch, "steps"), r.keyName(where, "steps"),
             "exact steps and tuning = \"" + tuning + "\" exclude each other");
    if (tuning == "equal") {
      r.onlyKeys(pitch, where, {"tuning", "a4_hz", "rate"});
      p.tuning = PitchDescription::Tuning::equal;
    } else {
      r.onlyKeys(pitch, where, {"tuning", "a4_hz", "rate", "scala", "kbm"});
      p.tuning = PitchDescription::Tuning::scala;
      p.scalaPath = r.path(pitch, where, "scala", true);
      p.kbmPath = r.path(pitch, where, "kbm");
    }
    p.a4Hz = r.number(pitch, where, "a4_hz", 1.0, 20000.0, 440.0);
    p.rate = r.number(pitch, where, "rate", 1000.0, 1000000.0, 44100.0);
    return;
  }
  if (!tuning.empty())
    r.fail(*Reader::find(pitch, "tuning"), r.keyName(where, "tuning"),
           "\"" + tuning + "\" is not a tuning; give \"equal\" or \"scala\"");
  r.onlyKeys(pitch, where, {"steps"});
  const Value& list = *Reader::find(pitch, "steps");
  if (!list.is_array()) r.fail(list, r.keyName(where, "steps"), "must be a list of numbers");
  const auto& steps = list.as_array();
  if (steps.size() > static_cast<size_t>(kTablePairs))
    r.fail(list, r.keyName(where, "steps"),
           std::to_string(steps.size()) + " steps; the pitch table holds at most 2048");
  p.tuning = PitchDescription::Tuning::steps;
  int rounded = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string at = r.keyName(where, "steps") + " entry " + std::to_string(i);
    const double x = r.numberValue(steps[i], at, -0.5, 65535.49999999999);
    const double step = std::round(x);
    if (step != x) ++rounded;
    p.steps.push_back(static_cast<uint16_t>(step < 0.0 ? 0.0 : step));
  }
  if (rounded > 0)
    d.notes.push_back("[pitch]: " + std::to_string(rounded) + " steps rounded to whole numbers");
}

BankDescription readBank(const Reader& r, const Value& bank, int index) {
  const std::string where = "[[bank]] " + std::to_string(index);
  if (!bank.is_table()) r.fail(bank, where, "must be a table");
  r.onlyKeys(bank, where, {"wave", "shape", "harmonics", "width", "samples", "normalize"});
  BankDescription b;
  b.line = Reader::lineOf(bank);
  const int sources = (Reader::find(bank, "wave") != nullptr) + (Reader::find(bank, "shape") != nullptr) +
                      (Reader::find(bank, "samples") != nullptr);
  if (sources != 1)
    r.fail(bank, where,
           sources == 0 ? "give one of wave = \"FILE.wav\", shape = \"...\" or samples = [...]"
                        : "wave, shape and samples exclude each other; give one");
  b.normalize = r.boolean(bank, where, "normalize", true);
  if (Reader::find(bank, "wave") != nullptr) {
    b.source = BankDescription::Source::wave;
    b.wavePath = r.path(bank, where, "wave", true);
  } else if (Reader::find(bank, "shape") != nullptr) {
    b.source = BankDescription::Source::shape;
    b.shape = r.text(bank, where, "shape", true);
    static const std::set<std::string> shapes = {"sine", "saw", "square", "triangle", "pulse"};
    if (shapes.count(b.shape) == 0)
      r.fail(*Reader::find(bank, "shape"), r.keyName(where, "shape"),
             "\"" + b.shape + "\" is not a shape; give sine, saw, square, triangle or pulse");
    b.harmonics = static_cast<int>(r.integer(bank, where, "harmonics", 1, kMaxHarmonics, 32));
    if (b.shape != "pulse" && Reader::find(bank, "width") != nullptr)
      r.fail(*Reader::find(bank, "width"), r.keyName(where, "width"), "only a pulse has a width");
    b.width = r.number(bank, where, "width", 0.01, 0.99, 0.5);
  } else {
    b.source = BankDescription::Source::samples;
    for (const char* key : {"harmonics", "width"})
      if (Reader::find(bank, key) != nullptr)
        r.fail(*Reader::find(bank, key), r.keyName(where, key), "belongs to a shape, not to exact samples");
    const Value& list = *Reader::find(bank, "samples");
    const std::string at = r.keyName(where, "samples");
    if (!list.is_array()) r.fail(list, at, "must be a list of 512 whole numbers from -1023 to 1023");
    const auto& values = list.as_array();
    if (values.size() != static_cast<size_t>(kSamplesPerBank))
      r.fail(list, at, std::to_string(values.size()) + " samples; a bank holds exactly 512");
    for (size_t s = 0; s < values.size(); ++s) {
      const Value& v = values[s];
      if (!v.is_integer() || v.as_integer() < -kMaxMagnitude || v.as_integer() > kMaxMagnitude)
        r.fail(v, at + " entry " + std::to_string(s), "must be a whole number from -1023 to 1023");
      b.samples.push_back(static_cast<int>(v.as_integer()));
    }
  }
  return b;
}

// A duration in seconds to the nearest envelope byte of 1..255 that stands
// for byte x samplesPerUnit samples; says what it rounded.
uint8_t secondsToByte(const Reader& r, const Value& envelope, const std::string& where,
                      const std::string& key, double samplesPerUnit, std::vector<std::string>& notes) {
  const double low = samplesPerUnit / kEnvelopeRate, high = 255.0 * samplesPerUnit / kEnvelopeRate;
  const Value& value = *Reader::find(envelope, key);
  const double seconds = r.numberValue(value, r.keyName(where, key), 0.0, 1e9);
  const double units = std::round(seconds * kEnvelopeRate / samplesPerUnit);
  if (units < 1.0 || units > 255.0)
    r.fail(
        value, r.keyName(where, key),
        formatNumber(seconds) + " s is out of range " + formatNumber(low) + "-" + formatNumber(high) + " s");
  const double actual = units * samplesPerUnit / kEnvelopeRate;
  if (actual != seconds)
    notes.push_back(where + ": " + key + " = " + formatNumber(seconds) + " rounds to byte " +
                    formatNumber(units) + " (" + formatNumber(actual) + " s)");
  return static_cast<uint8_t>(units);
}

PresetDescription readPreset(const Reader& r, const Value& preset, int index,
                             std::vector<std::string>& notes) {
  const std::string where = "[[preset]] " + std::to_string(index);
  if (!preset.is_table()) r.fail(preset, where, "must be a table");
  r.onlyKeys(preset, where, {"name", "bank", "cutoff", "resonance", "second_oscillator", "envelope"});
  PresetDescription p;
  p.line = Reader::lineOf(preset);
  p.name = r.text(preset, where, "name", true);
  p.bank = static_cast<int>(r.integer(preset, where, "bank", 0, 7, 0, true));
  p.cutoff = static_cast<int>(r.integer(preset, where, "cutoff", 0, 3, 0));
  p.resonance = static_cast<int>(r.integer(preset, where, "resonance", 0, 3, 0));
  p.secondOscillator = r.boolean(preset, where, "second_oscillator", false);
  const Value* envelope = Reader::find(preset, "envelope");
  if (envelope == nullptr) return p;
  const std::string at = where + " envelope";
  if (!envelope->is_table()) r.fail(*envelope, at, "must be a table ([preset.envelope])");
  r.onlyKeys(*envelope, at,
             {"ramp_start", "ramp_rate", "ramp_end", "glide_time", "hold_level", "hold_time", "ramp_seconds",
              "glide_seconds", "hold_seconds"});
  for (size_t i = 0; i < kEnvelopeKeys.size(); ++i)
    p.envelope[i] = static_cast<uint8_t>(r.integer(*envelope, at, kEnvelopeKeys[i], 0, 255, 0));
  auto either = [&](const char* byteKey, const char* secondsKey) {
    const bool both = Reader::find(*envelope, byteKey) != nullptr;
    if (Reader::find(*envelope, secondsKey) == nullptr) return false;
    if (both)
      r.fail(*Reader::find(*envelope, secondsKey), r.keyName(at, secondsKey),
             std::string("give ") + byteKey + " or " + secondsKey + ", not both");
    return true;
  };
  // Hold: byte x 1000 samples; glide: byte x 10 steps of one sample.
  if (either("hold_time", "hold_seconds"))
    p.envelope[5] = secondsToByte(r, *envelope, at, "hold_seconds", 1000.0, notes);
  if (either("glide_time", "glide_seconds"))
    p.envelope[3] = secondsToByte(r, *envelope, at, "glide_seconds", 10.0, notes);
  // The ramp climbs from its start to its end by byte x 0.1 levels a sample.
  if (either("ramp_rate", "ramp_seconds")) {
    const Value& value = *Reader::find(*envelope, "ramp_seconds");
    const int rise = p.envelope[2] - p.envelope[0];
    if (rise <= 0)
      r.fail(value, r.keyName(at, "ramp_seconds"),
             "needs ramp_end above ramp_start; with none there is no ramp");
    const double seconds = r.numberValue(value, r.keyName(at, "ramp_seconds"), 1e-9, 1e9);
    const double rate = std::round(rise * 10.0 / (seconds * kEnvelopeRate));
    if (rate < 1.0 || rate > 255.0)
      r.fail(value, r.keyName(at, "ramp_seconds"),
             formatNumber(seconds) + " s is out of range " +
                 formatNumber(rise * 10.0 / 255.0 / kEnvelopeRate) + "-" +
                 formatNumber(rise * 10.0 / kEnvelopeRate) + " s for a rise of " + std::to_string(rise));
    p.envelope[1] = static_cast<uint8_t>(rate);
    notes.push_back(at + ": ramp_seconds = " + formatNumber(seconds) + " rounds to ramp_rate " +
                    formatNumber(rate) + " (about " + formatNumber(rise * 10.0 / rate / kEnvelopeRate) +
                    " s)");
  }
  return p;
}

template <typename Item, typename ReadOne>
std::vector<Item> readList(const Reader& r, const Value& root, const std::string& key, size_t count,
                           const std::string& what, ReadOne readOne) {
  const std::string where = "[[" + key + "]]";
  const Value* found = Reader::find(root, key);
  if (found == nullptr)
    r.fail(0, where,
           "none given; the set needs " + std::to_string(count) + " " + what + " (0-" +
               std::to_string(count - 1) + ")");
  if (!found->is_array()) r.fail(*found, where, "must be a list of tables, each headed " + where);
  const auto& items = found->as_array();
  std::vector<Item> list;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i >= count)
      r.fail(items[i], where + " " + std::to_string(i),
             "one too many: the set has " + std::to_string(count) + " " + what + " (0-" +
                 std::to_string(count - 1) + ")");
    list.push_back(readOne(items[i], static_cast<int>(i)));
  }
  if (list.size() < count) {
    const std::string missing = list.size() + 1 == count
                                    ? std::to_string(count - 1)
                                    : std::to_string(list.size()) + "-" + std::to_string(count - 1);
    r.fail(0, where,
           std::to_string(list.size()) + " given, the set needs " + std::to_string(count) + ": " +
               (list.size() + 1 == count ? what.substr(0, what.size() - 1) : what) + " " + missing +
               (list.size() + 1 == count ? " is" : " are") + " missing");
  }
  return list;
}

}  // namespace

SetDescription parseDescription(const std::string& text, const std::string& file,
                                const std::string& directory) {
  Value root;
  try {
    std::istringstream stream(text);
    root = toml::parse<toml::discard_comments, std::map, std::vector>(stream, file);
  } catch (const toml::syntax_error& e) {
    // toml11's own message spans several lines with a drawing of the place;
    // its first line says what is wrong.
    std::string what = e.what();
    what = what.substr(0, what.find('\n'));
    if (what.rfind("[error] ", 0) == 0) what = what.substr(8);
    throw DescriptionError(file + ":" + std::to_string(e.location().line()) + ": syntax error: " + what);
  } catch (const std::exception& e) {
    std::string what = e.what();
    throw DescriptionError(file + ": cannot be read as TOML: " + what.substr(0, what.find('\n')));
  }
  const Reader r(file, directory);
  r.onlyKeys(root, "top level", {"set", "pitch", "bank", "preset"});
  SetDescription d;
  d.file = file;
  d.directory = directory;
  readSet(r, root, d);
  readPitch(r, root, d);
  d.banks = readList<BankDescription>(r, root, "bank", kBankCount, "banks",
                                      [&](const Value& v, int i) { return readBank(r, v, i); });
  d.presets =
      readList<PresetDescription>(r, root, "preset", kPresetCount, "presets",
                                  [&](const Value& v, int i) { return readPreset(r, v, i, d.notes); });
  return d;
}

SetDescription readDescription(const std::string& path) {
  std::error_code error;
  if (fs::is_directory(path, error))
    throw DescriptionError(path + ": is a directory, not a description file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DescriptionError(path + ": cannot be opened");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw DescriptionError(path + ": cannot be read");
  const std::string directory = fs::path(path).parent_path().string();
  return parseDescription(text.str(), path, directory.empty() ? "." : directory);
}

std::vector<std::string> presetNamesOf(const std::string& text) {
  std::vector<std::string> names;
  try {
    std::istringstream stream(text);
    const Value root = toml::parse<toml::discard_comments, std::map, std::vector>(stream, "description");
    const Value* presets = Reader::find(root, "preset");
    if (presets == nullptr || !presets->is_array()) return names;
    for (const Value& p : presets->as_array()) {
      const Value* name = p.is_table() ? Reader::find(p, "name") : nullptr;
      names.push_back(name != nullptr && name->is_string() ? name->as_string().str : std::string());
    }
  } catch (const std::exception&) {
    names.clear();
  }
  return names;
}

}  // namespace romset
