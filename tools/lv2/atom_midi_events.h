// Walks the MIDI events of a host's atom sequence without trusting its
// sizes: a header or body that runs past the sequence ends the walk, other
// event types are skipped, and times are held inside the cycle.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>

namespace sarn2lv2 {

struct AtomMidiTypes {
  LV2_URID sequence = 0;
  LV2_URID midiEvent = 0;
  LV2_URID frameTime = 0;
};

// Calls visit(frame, bytes, size) for each MIDI event with a body of at
// least one byte, in sequence order. frame lies in 0..frames: a time past
// the cycle becomes frames, a negative one 0. A sequence timed in anything
// but audio frames gives frame 0 to every event, as nothing here can turn
// its times into samples. Headers are copied out, so a misaligned buffer is
// read safely too.
template <typename Visit>
void forEachMidiEvent(const LV2_Atom_Sequence* sequence, uint32_t frames, const AtomMidiTypes& types,
                      Visit&& visit) {
  if (sequence == nullptr) return;
  LV2_Atom atom;
  std::memcpy(&atom, &sequence->atom, sizeof(atom));
  if (atom.type != types.sequence || atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
  LV2_Atom_Sequence_Body head;
  std::memcpy(&head, &sequence->body, sizeof(head));
  const bool inFrames = head.unit == 0 || head.unit == types.frameTime;

  const auto* body = reinterpret_cast<const uint8_t*>(&sequence->body);
  const uint64_t size = atom.size;
  uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
  while (offset + sizeof(LV2_Atom_Event) <= size) {
    LV2_Atom_Event event;
    std::memcpy(&event, body + offset, sizeof(event));
    const uint64_t bodyStart = offset + sizeof(LV2_Atom_Event);
    if (event.body.size > size - bodyStart) return;
    if (event.body.type == types.midiEvent && event.body.size > 0) {
      uint32_t frame = 0;
      if (inFrames) {
        const int64_t time = event.time.frames;
        frame = time < 0 ? 0 : (time > int64_t{frames} ? frames : static_cast<uint32_t>(time));
      }
      visit(frame, body + bodyStart, event.body.size);
    }
    // Events start on 8-byte boundaries.
    offset = bodyStart + ((uint64_t{event.body.size} + 7) & ~uint64_t{7});
  }
}

}  // namespace sarn2lv2
