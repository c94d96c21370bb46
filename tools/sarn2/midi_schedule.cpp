#include "tools/sarn2/midi_schedule.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

// After <cstring>: the reader's header uses memcpy without including it.
#include <allegro.h>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

// The reader prints its complaints on standard output; they are caught
// here and become part of the error message instead.
class CapturedStdout {
 public:
  CapturedStdout() {
    std::fflush(stdout);
    capture = std::tmpfile();
    saved = dup(STDOUT_FILENO);
    if (capture != nullptr && saved >= 0) dup2(fileno(capture), STDOUT_FILENO);
  }
  ~CapturedStdout() {
    restore();
    if (capture != nullptr) std::fclose(capture);
  }

  std::string text() {
    restore();
    if (capture == nullptr) return {};
    std::string all;
    std::rewind(capture);
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), capture)) > 0) all.append(buffer, n);
    while (!all.empty() && (all.back() == '\n' || all.back() == ' ')) all.pop_back();
    for (char& c : all)
      if (c == '\n') c = ';';
    return all;
  }

 private:
  void restore() {
    if (saved < 0) return;
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    saved = -1;
  }
  std::FILE* capture = nullptr;
  int saved = -1;
};

uint8_t dataByte(long value) { return static_cast<uint8_t>(std::clamp<long>(value, 0, 127)); }
uint8_t scaledDataByte(double fraction) { return dataByte(std::lround(fraction * 127.0)); }

struct Pending {
  ScheduledMessage scheduled;
  int rank;  // among messages at one sample: 0 sounding notes end, 1 file order, 2 zero-length notes end
};

// An update event as the MIDI message it was read from; false for events
// that are not channel messages.
bool updateMessage(Alg_event_ptr event, pluginhost::Midi& message) {
  const uint8_t channel = static_cast<uint8_t>(event->chan & 0x0F);
  if (event->chan < 0) return false;
  const std::string attribute = event->get_attribute();
  const char type = event->get_update_type();
  if (attribute == "bendr" && type == 'r') {
    // Stored as (value - 8192) / 8192, which a double holds exactly.
    const long value = std::clamp<long>(std::lround(event->get_real_value() * 8192.0) + 8192, 0, 16383);
    message = {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value & 0x7F),
               static_cast<uint8_t>(value >> 7)};
    return true;
  }
  if (attribute == "programi" && type == 'i') {
    message = {static_cast<uint8_t>(0xC0 | channel), dataByte(event->get_integer_value()), 0};
    return true;
  }
  if (attribute == "pressurer" && type == 'r') {
    const uint8_t value = scaledDataByte(event->get_real_value());
    const long key = event->get_identifier();
    if (key < 0)
      message = {static_cast<uint8_t>(0xD0 | channel), value, 0};
    else
      message = {static_cast<uint8_t>(0xA0 | channel), dataByte(key), value};
    return true;
  }
  if (attribute.size() > 8 && attribute.rfind("control", 0) == 0 && attribute.back() == 'r' && type == 'r') {
    const std::string number = attribute.substr(7, attribute.size() - 8);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    message = {static_cast<uint8_t>(0xB0 | channel), dataByte(std::stol(number)),
               scaledDataByte(event->get_real_value())};
    return true;
  }
  return false;
}

// Standard MIDI Files run at 120 beats per minute until their first tempo
// event, but the reader starts its tempo map at its own default of 100. A
// map whose first stretch runs at 100 is set to 120 there, unless the file
// itself holds a tempo event of exactly 100 (600000 us per beat, bytes
// FF 51 03 09 27 C0), which cannot be told apart from the default in the map.
void applyStandardStartingTempo(Alg_seq& sequence, const std::string& path) {
  constexpr double kReaderDefaultBeatsPerSecond = ALG_DEFAULT_BPM / 60.0;
  constexpr double kStandardBeatsPerSecond = 2.0;
  if (sequence.get_tempo(0.0) != kReaderDefaultBeatsPerSecond) return;

  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  static constexpr char kExplicitTempo100[] = {'\xFF', 0x51, 0x03, 0x09, 0x27, '\xC0'};
  if (std::search(bytes.begin(), bytes.end(), std::begin(kExplicitTempo100), std::end(kExplicitTempo100)) !=
      bytes.end())
    return;

  Alg_time_map* map = sequence.get_time_map();
  if (map->length() > 1) {
    // Later stretches keep their tempos; they only start earlier.
    const double shift = map->beats[1].time - map->beats[1].beat / kStandardBeatsPerSecond;
    for (long i = 1; i < map->length(); ++i) map->beats[static_cast<int>(i)].time -= shift;
  } else {
    map->last_tempo = kStandardBeatsPerSecond;
  }
}

}  // namespace

MidiSchedule readMidiSchedule(const std::string& path, double sampleRate) {
  // Opened once here for a precise reason when it cannot be read at all.
  if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    throw ToolError("cannot read MIDI file " + path + ": " + std::strerror(errno));
  }

  CapturedStdout captured;
  Alg_seq sequence(path.c_str(), true);
  const int error = sequence.get_read_error();
  const std::string complaints = captured.text();
  if (error != alg_no_error) {
    throw ToolError(path + " is not a readable Standard MIDI File" +
                    (complaints.empty() ? std::string() : " (" + complaints + ")"));
  }
  applyStandardStartingTempo(sequence, path);
  // The reader's own duration in seconds predates the tempo correction.
  const double endSeconds = sequence.get_time_map()->beat_to_time(sequence.get_beat_dur());
  sequence.convert_to_seconds();

  const auto toSample = [&](double seconds) {
    return static_cast<int64_t>(std::llround(seconds * sampleRate));
  };

  std::vector<Pending> pending;
  Alg_iterator iterator(&sequence, false);
  iterator.begin();
  while (Alg_event_ptr event = iterator.next()) {
    const int64_t at = toSample(event->time);
    if (event->is_note()) {
      const auto* note = static_cast<Alg_note_ptr>(event);
      const uint8_t channel = static_cast<uint8_t>(event->chan & 0x0F);
      const uint8_t key = dataByte(event->get_identifier());
      const uint8_t velocity = static_cast<uint8_t>(std::clamp<long>(std::lround(note->loud), 1, 127));
      const int64_t end = toSample(event->time + note->dur);
      pending.push_back({{at, {static_cast<uint8_t>(0x90 | channel), key, velocity}}, 1});
      pending.push_back({{end, {static_cast<uint8_t>(0x80 | channel), key, 0}}, end > at ? 0 : 2});
    } else {
      pluginhost::Midi message{};
      if (updateMessage(event, message)) pending.push_back({{at, message}, 1});
    }
  }
  iterator.end();

  std::stable_sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) {
    if (a.scheduled.sample != b.scheduled.sample) return a.scheduled.sample < b.scheduled.sample;
    return a.rank < b.rank;
  });

  MidiSchedule schedule;
  for (const Pending& p : pending) schedule.messages.push_back(p.scheduled);
  schedule.endSample = std::max<int64_t>(0, toSample(endSeconds));
  if (!schedule.messages.empty())
    schedule.endSample = std::max(schedule.endSample, schedule.messages.back().sample);
  return schedule;
}

}  // namespace sarn2tool
