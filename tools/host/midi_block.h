// A host's event block of MIDI messages, laid out as hosts pass it: count,
// reserved word, then one pointer per event. Room for the events is taken
// once, so a block that is cleared and refilled within its capacity never
// allocates (an audio thread can fill one for every cycle).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "frame/plugin_interface.h"

namespace pluginhost {

// One MIDI message of up to three bytes; shorter messages leave the tail 0.
using Midi = std::array<uint8_t, 3>;

class MidiBlock {
 public:
  explicit MidiBlock(size_t capacity);
  // A full block of these messages, all at the block's first frame.
  explicit MidiBlock(const std::vector<Midi>& messages);
  // Moving keeps both buffers, so the pointers inside stay valid; a copy
  // would point into the original.
  MidiBlock(MidiBlock&&) = default;
  MidiBlock& operator=(MidiBlock&&) = default;
  MidiBlock(const MidiBlock&) = delete;
  MidiBlock& operator=(const MidiBlock&) = delete;

  void clear();
  // Appends a message at a frame of the coming block; false when full.
  bool add(const Midi& message, int32_t deltaFrames = 0);
  size_t size() const { return count; }
  size_t capacity() const { return events.size(); }

  EventBlock* block() { return reinterpret_cast<EventBlock*>(words.data()); }
  // Replaces event i's pointer, e.g. with null.
  void setPointer(size_t i, void* event) { block()->eventList()[i] = static_cast<Event*>(event); }
  MidiEvent& event(size_t i) { return events[i]; }

 private:
  std::vector<MidiEvent> events;
  // Pointer-sized words: count and reserved fit the first two on every
  // target, then one per event and a null after the last.
  std::vector<void*> words;
  size_t count = 0;
};

}  // namespace pluginhost
