// Standard MIDI Files for tests, written byte by byte so that each test
// controls the format, tempo map and running status exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tooltest {

// An event at an absolute tick, with its bytes as they go into the file:
// leave out the status byte to use running status.
struct SmfEvent {
  uint32_t tick;
  std::vector<uint8_t> bytes;
};

// A tempo meta event (microseconds per quarter note).
SmfEvent tempoEvent(uint32_t tick, uint32_t microsecondsPerBeat);

// Tracks of events sorted by tick; each track ends with end-of-track at
// its last event, or at endTick when that is later.
std::vector<uint8_t> smfBytes(int format, uint16_t ticksPerBeat,
                              const std::vector<std::vector<SmfEvent>>& tracks, uint32_t endTick = 0);
void writeSmf(const std::string& path, int format, uint16_t ticksPerBeat,
              const std::vector<std::vector<SmfEvent>>& tracks, uint32_t endTick = 0);

}  // namespace tooltest
