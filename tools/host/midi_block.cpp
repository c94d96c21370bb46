#include "tools/host/midi_block.h"

namespace pluginhost {

namespace {
constexpr size_t kHeaderWords = 2;
}

MidiBlock::MidiBlock(size_t capacity) : events(capacity), words(kHeaderWords + capacity + 1, nullptr) {}

MidiBlock::MidiBlock(const std::vector<Midi>& messages) : MidiBlock(messages.size()) {
  for (const Midi& message : messages) add(message);
}

void MidiBlock::clear() {
  count = 0;
  block()->eventCount = 0;
  block()->eventList()[0] = nullptr;
}

bool MidiBlock::add(const Midi& message, int32_t deltaFrames) {
  if (count == events.size()) return false;
  // Value-initialised: every field the message does not set is 0.
  MidiEvent& event = events[count] = MidiEvent{};
  event.type = kMidiEventType;
  event.byteSize = sizeof(MidiEvent);
  event.deltaFrames = deltaFrames;
  for (size_t b = 0; b < message.size(); ++b) event.midiData[b] = static_cast<char>(message[b]);
  block()->eventList()[count] = reinterpret_cast<Event*>(&event);
  ++count;
  block()->eventList()[count] = nullptr;
  block()->eventCount = static_cast<int32_t>(count);
  return true;
}

}  // namespace pluginhost
