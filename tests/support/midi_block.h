// A host's event block of MIDI messages, laid out as hosts pass it: count,
// reserved word, then one pointer per event. The events and the pointer
// list live as long as the object. Header-only so that benchmarks share it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "frame/plugin_interface.h"

namespace testhost {

using Midi = std::array<uint8_t, 3>;

class MidiBlock {
 public:
  explicit MidiBlock(const std::vector<Midi>& messages) : events(messages.size()) {
    // Pointer-sized words: count and reserved fit the first two on every target.
    words.assign(2 + messages.size() + 1, nullptr);
    for (size_t i = 0; i < messages.size(); ++i) {
      events[i].type = kMidiEventType;
      events[i].byteSize = sizeof(MidiEvent);
      for (size_t b = 0; b < 3; ++b) events[i].midiData[b] = static_cast<char>(messages[i][b]);
      block()->eventList()[i] = reinterpret_cast<Event*>(&events[i]);
    }
    block()->eventCount = static_cast<int32_t>(messages.size());
  }
  // Moving keeps both buffers, so the pointers inside stay valid; a copy
  // would point into the original.
  MidiBlock(MidiBlock&&) = default;
  MidiBlock& operator=(MidiBlock&&) = default;
  MidiBlock(const MidiBlock&) = delete;
  MidiBlock& operator=(const MidiBlock&) = delete;

  EventBlock* block() { return reinterpret_cast<EventBlock*>(words.data()); }
  // Replaces event i's pointer, e.g. with null.
  void setPointer(size_t i, void* event) { block()->eventList()[i] = static_cast<Event*>(event); }
  MidiEvent& event(size_t i) { return events[i]; }

 private:
  std::vector<MidiEvent> events;  // value-initialised: every other field 0
  std::vector<void*> words;
};

}  // namespace testhost
