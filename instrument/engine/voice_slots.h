// The eight voice slots: which note each plays, whether its key is down,
// and the allocation that note-on and note-off do.
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
};

struct VoiceSlots {
  static constexpr int32_t kVoiceCount = 8;

  std::array<Voice, kVoiceCount> voices{};

  // Claims the first free slot, else the first released one, else slot 0,
  // and starts the note there at full level. Returns the slot.
  int32_t noteOn(int32_t note);
  // Releases every held slot playing the note.
  void noteOff(int32_t note);
};

}  // namespace sarn2
