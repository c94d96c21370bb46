// MIDI input: note-on and note-off claim and release the eight voice slots,
// pitch bend retunes every voice, program change selects a preset.
#include <cstring>

#include "instrument/sarn2_vst.h"

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr double kBendScale = 0.0001220703125;  // 1/8192

}  // namespace

intptr_t Sarn2VST::processEvents(void* events) {
  const auto* block = static_cast<const EventBlock*>(events);
  if (block == nullptr) return 1;
  for (int32_t i = 0; i < block->eventCount; ++i) {
    const Event* event = block->eventList()[i];
    if (event == nullptr || event->type != kMidiEventType) continue;
    const auto* midi = reinterpret_cast<const MidiEvent*>(event);
    const uint8_t kind = static_cast<uint8_t>(midi->midiData[0]) & 0xF0;
    // Data bytes are read as signed: 128 to 255 count as negative.
    const int32_t data1 = static_cast<int8_t>(midi->midiData[1]);
    const int32_t data2 = static_cast<int8_t>(midi->midiData[2]);
    switch (kind) {
      case kNoteOn:
        if (data2 > 0)
          noteOn(data1);
        else
          noteOff(data1);
        break;
      case kNoteOff:
        noteOff(data1);
        break;
      case kPitchBend:
        pitchBend.store(static_cast<float>((((data2 * 128) | data1) - 8192) * kBendScale),
                        std::memory_order_relaxed);
        break;
      case kProgramChange:
        setProgram(data1 % kPresetCount);
        break;
      default:
        break;
    }
  }
  return 1;
}

void Sarn2VST::noteOn(int32_t note) {
  Voice* slot = nullptr;
  for (Voice& voice : voices) {
    if (voice.state == VoiceState::free) {
      slot = &voice;
      break;
    }
  }
  if (slot == nullptr) {
    for (Voice& voice : voices) {
      if (voice.state == VoiceState::released) {
        slot = &voice;
        break;
      }
    }
  }
  if (slot == nullptr) slot = &voices[0];
  slot->note = note;
  slot->level = 1.0;
  slot->state = VoiceState::held;

  // One envelope serves the whole instrument: every sounding note's sweep
  // restarts. This rebuild replaces any that setChunk left pending; taking
  // the request with acquire order makes the chunk's preset visible to the
  // rebuild, so a request is never dropped in favour of an older preset.
  filterEnvelopePos = 0;
  pendingEnvelopePreset.exchange(kNoRebuildPending, std::memory_order_acquire);
  rebuildFilterEnvelope();
}

void Sarn2VST::noteOff(int32_t note) {
  for (Voice& voice : voices) {
    if (voice.note == note && voice.state == VoiceState::held) voice.state = VoiceState::released;
  }
}
