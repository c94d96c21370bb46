// The eight voice slots: which note each plays, whether its key is down,
// the sustain pedal, and the allocation that note-on and note-off do.
#pragma once

#include <array>
#include <cstdint>

namespace sarn2 {

enum class VoiceState : int32_t { free = 0, held = 1, released = 2 };

struct Voice {
  int32_t note{0};
  VoiceState state{VoiceState::free};
  // Amplitude factor: 1.0 while the key is down, falling linearly to 0
  // after key-up; only rendering lowers it.
  double level{1.0};
  // Key up while the pedal is down: the voice stays held (for allocation
  // too) until the pedal comes up.
  bool sustained{false};
};

struct VoiceSlots {
  static constexpr int32_t kVoiceCount = 8;

  std::array<Voice, kVoiceCount> voices{};
  bool pedalDown{false};

  // Claims the first free slot, else the first released one, else slot 0,
  // and starts the note there at full level. Returns the slot.
  int32_t noteOn(int32_t note);
  // Releases every held slot playing the note, or marks it sustained while
  // the pedal is down.
  void noteOff(int32_t note);
  // Pedal up releases every sustained voice; voices whose key is still down
  // keep sounding.
  void setPedal(bool down);
  // A note-off for every held voice (so the pedal still sustains them).
  void allNotesOff();
  // Silences every voice at once, without a release.
  void allSoundOff();
};

}  // namespace sarn2
