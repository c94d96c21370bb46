// The bytes of a live MIDI stream turned into the channel messages a
// plug-in is sent: running status is expanded, system exclusive, system
// common and real-time messages are taken out.
#pragma once

#include <cstdint>

#include "tools/host/midi_block.h"

namespace sarn2tool {

class LiveMidiParser {
 public:
  // Takes the next byte of the stream. True when it completes a channel
  // message, which is then in message (unused data bytes 0).
  bool take(uint8_t byte, pluginhost::Midi& message);

  // Messages seen that are not channel messages: system exclusive, system
  // common and real-time messages, each counted once.
  uint64_t otherMessages() const { return otherMessages_; }

 private:
  uint8_t runningStatus_ = 0;  // 0: none, data bytes are stray
  uint8_t pending_[2] = {};
  int pendingCount_ = 0;
  int systemDataLeft_ = 0;  // data bytes of a system common message still to skip
  bool inSystemExclusive_ = false;
  uint64_t otherMessages_ = 0;
};

}  // namespace sarn2tool
