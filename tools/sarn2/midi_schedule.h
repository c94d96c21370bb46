// A Standard MIDI File turned into MIDI messages at exact sample positions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/host/midi_block.h"

namespace sarn2tool {

struct ScheduledMessage {
  int64_t sample;
  pluginhost::Midi message;
};

struct MidiSchedule {
  // In the order to send them: by sample, and at one sample in file order,
  // except that a note ending there is released before anything starts.
  std::vector<ScheduledMessage> messages;
  // Where the piece ends: its last message or its end-of-track, whichever
  // is later.
  int64_t endSample = 0;
};

// Reads format 0 or 1 files with every tempo change and channel. Notes,
// pitch bend, program change, control change and both kinds of pressure
// are kept; other events (system exclusive, meta texts) are dropped.
// Format 2 files (independent sequences) are refused.
// Throws ToolError for a missing, unreadable or malformed file, or one that
// is not a regular file.
MidiSchedule readMidiSchedule(const std::string& path, double sampleRate);

// The same for a file's bytes; the ToolError says what is wrong and where.
MidiSchedule midiScheduleFromBytes(const std::vector<uint8_t>& bytes, double sampleRate);

}  // namespace sarn2tool
