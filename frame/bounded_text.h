// Copying a text into a fixed-size buffer of the interface, as hosts and
// plug-ins both expect: header-only so that either side can use it.
#pragma once

#include <cstdint>

// At most bound characters of source, zero-filled up to bound, then a zero
// at bound; a negative bound counts as 0. The buffer must hold bound + 1 bytes.
inline void copyBoundedText(char* destination, const char* source, int32_t bound) {
  if (bound < 0) bound = 0;
  int32_t i = 0;
  for (; i < bound && source[i] != 0; ++i) destination[i] = source[i];
  for (; i <= bound; ++i) destination[i] = 0;
}
