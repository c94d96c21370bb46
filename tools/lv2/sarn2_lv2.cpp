// The LV2 plug-in's cycle: control ports, then the MIDI events each on its
// own frame with the audio between them rendered in pieces; and the state
// chunk saved and restored through the state extension.
#include "tools/lv2/sarn2_lv2.h"

#include "tools/lv2/state_chunk.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace sarn2lv2 {

namespace {

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

LV2_URID mapUri(const LV2_URID_Map& map, const char* uri) { return map.map(map.handle, uri); }

// The Preset port counts presets from 1; the nearest whole number is
// taken, as the parameter rounds its value to a preset.
int32_t presetFromPort(float value) {
  double number = static_cast<double>(value) - 1.0 + 0.5;
  if (number < 0.0) number = 0.0;
  if (number > 31.0) number = 31.0;
  return static_cast<int32_t>(number);
}

// Bytes a channel message needs, status included; 0 for a byte that is no
// status (LV2 MIDI events carry no running status). System messages go on
// whole, for the instrument to ignore.
uint32_t messageLength(uint8_t status) {
  if (status < 0x80) return 0;
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 2;
    case 0xF0:
      return 1;
    default:
      return 3;
  }
}

}  // namespace

Sarn2Lv2::Sarn2Lv2(double sampleRate, const LV2_URID_Map& map, const std::string& romDirectory)
    : engine(romDirectory), rate(sampleRate) {
  types.sequence = mapUri(map, LV2_ATOM__Sequence);
  types.midiEvent = mapUri(map, LV2_MIDI__MidiEvent);
  types.frameTime = mapUri(map, LV2_ATOM__frameTime);
  chunkProperty = mapUri(map, kChunkPropertyUri);
  chunkType = mapUri(map, kChunkTypeUri);
}

void Sarn2Lv2::connectPort(uint32_t port, void* data) {
  switch (port) {
    case midiInPort:
      midiIn = static_cast<const LV2_Atom_Sequence*>(data);
      break;
    case audioOutPort:
      audioOut = static_cast<float*>(data);
      break;
    case presetPort:
    case releasePort:
    case filterPort:
      controls[port - presetPort] = static_cast<const float*>(data);
      break;
    default:
      break;
  }
}

void Sarn2Lv2::run(uint32_t frames) {
  followControlPorts();
  uint32_t position = 0;
  forEachMidiEvent(midiIn, frames, types, [&](uint32_t frame, const uint8_t* bytes, uint32_t size) {
    // A message cut short is dropped rather than completed with guesses.
    const uint32_t needed = messageLength(bytes[0]);
    if (needed == 0 || size < needed) return;
    // An event earlier than one already played waits no longer than now.
    if (frame > position) {
      render(position, frame);
      position = frame;
    }
    engine.handleMidi(bytes[0], size > 1 ? bytes[1] : 0, size > 2 ? bytes[2] : 0);
  });
  render(position, frames);
}

void Sarn2Lv2::render(uint32_t from, uint32_t to) {
  while (from < to) {
    constexpr uint32_t kLargestBlock = std::numeric_limits<int32_t>::max();
    uint32_t count = to - from < kLargestBlock ? to - from : kLargestBlock;
    float* output = scratch.data();
    if (audioOut != nullptr)
      output = audioOut + from;
    else if (count > kScratchFrames)
      count = kScratchFrames;
    engine.renderBlock(output, static_cast<int32_t>(count), rate);
    from += count;
  }
}

void Sarn2Lv2::followControlPorts() {
  const bool adopt = adoptPortValues.exchange(false, std::memory_order_acquire);
  for (int i = 0; i < kControlPorts; ++i) {
    if (controls[i] == nullptr) continue;
    const float value = *controls[i];
    const uint32_t bits = bitsOf(value);
    if (taken[i] && takenBits[i] == bits) continue;
    taken[i] = true;
    takenBits[i] = bits;
    if (!adopt) applyControl(i, value);
  }
}

// A NaN names no value and changes nothing.
void Sarn2Lv2::applyControl(int control, float value) {
  if (std::isnan(value)) return;
  switch (control + presetPort) {
    case presetPort:
      engine.setPreset(presetFromPort(value));
      break;
    case releasePort:
      engine.setRelease(value);
      break;
    case filterPort:
      engine.setFilterOn(value >= 0.5f);
      break;
    default:
      break;
  }
}

LV2_State_Status Sarn2Lv2::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
  uint8_t chunk[sarn2::kStateChunkBytes];
  sarn2::encodeStateChunk(engine.chunkFields(), chunk);
  return store(handle, chunkProperty, chunk, sizeof(chunk), chunkType,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Sarn2Lv2::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* data = retrieve(handle, chunkProperty, &size, &type, &flags);
  if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != chunkType || size != sarn2::kStateChunkBytes) return LV2_STATE_ERR_BAD_TYPE;
  // As a chunk load of the other format: the preset applied now, the
  // envelope rebuilt by the next run().
  engine.restoreChunkFields(sarn2::decodeStateChunk(static_cast<const uint8_t*>(data)));
  adoptPortValues.store(true, std::memory_order_release);
  return LV2_STATE_SUCCESS;
}

}  // namespace sarn2lv2
