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
// own status byte) and end-of-track; system exclusive and meta events are
// left out, their delta times kept. The tempo events of all tracks form one
// map in the first track, one per tick (the last read of those at a tick),
// starting with the standard 120 beats per minute unless the file sets a
// tempo at tick 0.
//
// Throws ToolError "byte N, track T: <what is wrong>" for anything else:
// a chunk or event that runs past its end, a variable-length quantity of
// more than four bytes, a tempo event not of three bytes or of tempo 0, a
// data byte with no status before it, a division of 0 or in SMPTE frames,
// format 2, or fewer tracks than the header declares.
std::vector<uint8_t> checkedStandardMidiFile(const std::vector<uint8_t>& bytes);

}  // namespace sarn2tool
