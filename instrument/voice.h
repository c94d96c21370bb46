// One of the eight voice slots.
#pragma once

#include <cstdint>

enum class VoiceState : int32_t { free = 0, held = 1, released = 2 };

struct Voice {
  int32_t note = 0;
  VoiceState state = VoiceState::free;
  // Amplitude factor: 1.0 while the key is down, falling linearly to 0
  // after key-up; only rendering lowers it.
  double level = 1.0;
};
