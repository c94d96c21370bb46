// Voice allocation: a new note takes a free slot, then a fading one, and
// steals slot 0 only when all eight keys are down.
#include "instrument/engine/voice_slots.h"

#include <algorithm>

namespace sarn2 {

int32_t VoiceSlots::noteOn(int32_t note) {
  const auto inState = [](VoiceState state) { return [state](const Voice& v) { return v.state == state; }; };
  auto slot = std::find_if(voices.begin(), voices.end(), inState(VoiceState::free));
  if (slot == voices.end()) slot = std::find_if(voices.begin(), voices.end(), inState(VoiceState::released));
  if (slot == voices.end()) slot = voices.begin();
  slot->note = note;
  slot->level = 1.0;
  slot->state = VoiceState::held;
  return static_cast<int32_t>(slot - voices.begin());
}

void VoiceSlots::noteOff(int32_t note) {
  for (Voice& voice : voices)
    if (voice.note == note && voice.state == VoiceState::held) voice.state = VoiceState::released;
}

}  // namespace sarn2
