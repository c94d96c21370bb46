// Voice allocation: a new note takes a free slot, then a fading one, and
// steals slot 0 only when all eight keys are down (or sustained).
#include "instrument/engine/voice_slots.h"

#include <algorithm>

namespace sarn2 {

namespace {

// Key up: the voice fades, or with the pedal down keeps sounding.
void keyUp(Voice& voice, bool pedalDown) {
  if (pedalDown)
    voice.sustained = true;
  else
    voice.state = VoiceState::released;
}

}  // namespace

int32_t VoiceSlots::noteOn(int32_t note) {
  const auto inState = [](VoiceState state) { return [state](const Voice& v) { return v.state == state; }; };
  auto slot = std::find_if(voices.begin(), voices.end(), inState(VoiceState::free));
  if (slot == voices.end()) slot = std::find_if(voices.begin(), voices.end(), inState(VoiceState::released));
  if (slot == voices.end()) slot = voices.begin();
  slot->note = note;
  slot->level = 1.0;
  slot->state = VoiceState::held;
  slot->sustained = false;
  return static_cast<int32_t>(slot - voices.begin());
}

void VoiceSlots::noteOff(int32_t note) {
  for (Voice& voice : voices)
    if (voice.note == note && voice.state == VoiceState::held) keyUp(voice, pedalDown);
}

void VoiceSlots::setPedal(bool down) {
  pedalDown = down;
  if (down) return;
  for (Voice& voice : voices) {
    if (!voice.sustained) continue;
    voice.sustained = false;
    voice.state = VoiceState::released;
  }
}

void VoiceSlots::allNotesOff() {
  for (Voice& voice : voices)
    if (voice.state == VoiceState::held) keyUp(voice, pedalDown);
}

void VoiceSlots::allSoundOff() {
  for (Voice& voice : voices) {
    voice.state = VoiceState::free;
    voice.level = 0.0;
    voice.sustained = false;
  }
}

}  // namespace sarn2
