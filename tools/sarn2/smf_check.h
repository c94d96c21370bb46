// Standard MIDI Files checked byte by byte before the MIDI file library
// reads them. The library trusts the lengths a file declares and crashes or
// slows to a crawl on some corruptions, so it only ever sees a file rebuilt
// here from events that were read completely and make sense.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sarn2tool {

// Format 0 and 1 files with a division in ticks per beat are read. The file
// handed back holds the same tracks with their channel events (each with its
// own status byte), their tempo events and end-of-track; system exclusive
// and the other meta events are left out, their delta times kept. When no
// tempo event sits at tick 0 the standard 120 beats per minute is set there
// explicitly.
//
// Throws ToolError "byte N, track T: <what is wrong>" for anything else:
// a chunk or event that runs past its end, a variable-length quantity of
// more than four bytes, a tempo event not of three bytes or of tempo 0, a
// data byte with no status before it, a division of 0 or in SMPTE frames,
// format 2, or fewer tracks than the header declares.
std::vector<uint8_t> checkedStandardMidiFile(const std::vector<uint8_t>& bytes);

}  // namespace sarn2tool
