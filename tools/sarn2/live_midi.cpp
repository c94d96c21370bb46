#include "tools/sarn2/live_midi.h"

namespace sarn2tool {

namespace {

int dataBytesOf(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Data bytes that follow a system common status byte.
int systemCommonDataBytes(uint8_t status) {
  switch (status) {
    case 0xF1:  // time code quarter frame
    case 0xF3:  // song select
      return 1;
    case 0xF2:  // song position
      return 2;
    default:
      return 0;
  }
}

}  // namespace

bool LiveMidiParser::take(uint8_t byte, pluginhost::Midi& message) {
  if (byte >= 0xF8) {
    // Real-time messages may sit anywhere, even inside another message,
    // and leave it untouched.
    ++otherMessages_;
    return false;
  }
  if (byte >= 0x80) {
    // Any other status byte ends what came before it; an end-of-exclusive
    // byte ends the exclusive message it closes and starts nothing.
    pendingCount_ = 0;
    systemDataLeft_ = 0;
    if (byte == 0xF7) {
      inSystemExclusive_ = false;
      return false;
    }
    inSystemExclusive_ = false;
    if (byte >= 0xF0) {
      // System messages cancel running status.
      runningStatus_ = 0;
      ++otherMessages_;
      if (byte == 0xF0)
        inSystemExclusive_ = true;
      else
        systemDataLeft_ = systemCommonDataBytes(byte);
      return false;
    }
    runningStatus_ = byte;
    return false;
  }
  if (inSystemExclusive_) return false;
  if (systemDataLeft_ > 0) {
    --systemDataLeft_;
    return false;
  }
  if (runningStatus_ == 0) return false;
  pending_[pendingCount_++] = byte;
  if (pendingCount_ < dataBytesOf(runningStatus_)) return false;
  message = {runningStatus_, pending_[0], pendingCount_ > 1 ? pending_[1] : uint8_t{0}};
  pendingCount_ = 0;
  return true;
}

}  // namespace sarn2tool
