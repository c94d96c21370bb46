#include "tools/sarn2/midi_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

// After <cstring>: the reader's header uses memcpy without including it.
#include <allegro.h>

#include "tools/sarn2/input_file.h"
#include "tools/sarn2/smf_check.h"
#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

// Far beyond any real piece (a file of 100,000 notes is under a megabyte),
// small enough to hold in memory.
constexpr uint64_t kMaxMidiFileBytes = 256ull << 20;
constexpr double kLongestSeconds = 1e12;

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

}  // namespace

MidiSchedule midiScheduleFromBytes(const std::vector<uint8_t>& bytes, double sampleRate) {
  const std::vector<uint8_t> checked = checkedStandardMidiFile(bytes);
  std::istringstream in(std::string(checked.begin(), checked.end()));
  Alg_seq sequence(in, true);
  if (sequence.get_read_error() != alg_no_error)
    throw ToolError("the MIDI file library refused it although every event was read");
  const double endSeconds = sequence.get_time_map()->beat_to_time(sequence.get_beat_dur());
  sequence.convert_to_seconds();

  // Huge delta times at the slowest tempo reach times whose sample would not
  // fit 64 bits; they are held at a length no render allows anyway.
  const auto toSample = [&](double seconds) {
    return static_cast<int64_t>(std::llround(std::min(seconds, kLongestSeconds) * sampleRate));
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

MidiSchedule readMidiSchedule(const std::string& path, double sampleRate) {
  const std::vector<uint8_t> bytes = readInputFile(path, "MIDI file", kMaxMidiFileBytes);
  try {
    return midiScheduleFromBytes(bytes, sampleRate);
  } catch (const ToolError& e) {
    throw ToolError(path + " is not a readable Standard MIDI File: " + e.what());
  }
}

}  // namespace sarn2tool
