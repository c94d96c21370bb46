// The plug-in adapter: construction, identity, parameters, programs, the
// 20-byte state chunk, and the forwarding of events and blocks.
#include "instrument/sarn2_vst.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "frame/bounded_text.h"
#include "frame/entry.h"
#include "instrument/engine/numeric.h"
#include "instrument/rom_directory.h"

namespace sarn2 {

namespace {

constexpr int32_t kNameBound = 8;
constexpr int32_t kEffectNameBound = 32;
constexpr int32_t kVendorTextBound = 64;
// The preset parameter maps 0..1 onto presets 0..31.
constexpr double kPresetScale = kPresetCount - 1;

constexpr const char* kParameterNames[Sarn2VST::kParameterCount] = {"Preset", "Release", "Filter"};

template <typename T>
T readField(const uint8_t* block, size_t offset) {
  T value;
  std::memcpy(&value, block + offset, sizeof(T));
  return value;
}

template <typename T>
void writeField(uint8_t* block, size_t offset, T value) {
  std::memcpy(block + offset, &value, sizeof(T));
}

}  // namespace

Sarn2VST::Sarn2VST(HostCallback hostCallback) : Sarn2VST(hostCallback, romDirectory()) {}

Sarn2VST::Sarn2VST(HostCallback hostCallback, const std::string& directory)
    : AudioEffectX(hostCallback, 0, kParameterCount), engine_(directory) {
  setIsSynth(true);
  setProgramsAreChunks(true);
  setInputCount(0);
  setOutputCount(1);
}

Sarn2VST::~Sarn2VST() = default;

bool Sarn2VST::getEffectName(char* name) {
  copyBoundedText(name, "Tavrel Sarn2", kEffectNameBound);
  return true;
}

bool Sarn2VST::getVendorName(char* text) {
  copyBoundedText(text, "Movrik / Kestrin", kVendorTextBound);
  return true;
}

bool Sarn2VST::getProductName(char* text) {
  copyBoundedText(text, "Tavrel Sarn2 VST", kVendorTextBound);
  return true;
}

int32_t Sarn2VST::getVendorVersion() { return 1000; }

// The synth flag is always set, so every resume asks for MIDI.
void Sarn2VST::resume() {
  if ((effectRecord.flags & EffectFlags::kIsSynth) != 0 || queryCapability("receiveVstMidiEvent") == 1)
    requestEvents(1);
}

void Sarn2VST::renderBlock(float** /*inputs*/, float** outputs, int32_t sampleFrames) {
  engine_.renderBlock(outputs != nullptr ? outputs[0] : nullptr, sampleFrames, getSampleRate());
}

intptr_t Sarn2VST::processEvents(void* events) {
  const auto* block = static_cast<const EventBlock*>(events);
  if (block == nullptr) return 1;
  for (int32_t i = 0; i < block->eventCount; ++i) {
    const Event* event = block->eventList()[i];
    if (event == nullptr || event->type != kMidiEventType) continue;
    const auto* midi = reinterpret_cast<const MidiEvent*>(event);
    engine_.handleMidi(static_cast<uint8_t>(midi->midiData[0]), static_cast<uint8_t>(midi->midiData[1]),
                       static_cast<uint8_t>(midi->midiData[2]));
  }
  return 1;
}

void Sarn2VST::setParameter(int32_t index, float value) {
  switch (index) {
    case presetParameter:
      engine_.setPreset(clampPreset(truncateToInt32(value * kPresetScale + 0.5)));
      break;
    case releaseParameter:
      engine_.setRelease(value);
      break;
    case filterParameter:
      engine_.setFilterOn(value >= 0.5f);
      break;
    default:
      break;
  }
}

float Sarn2VST::getParameter(int32_t index) {
  switch (index) {
    case presetParameter:
      return static_cast<float>(engine_.preset() / kPresetScale);
    case releaseParameter:
      return engine_.release();
    case filterParameter:
      return engine_.filterOn() ? 1.0f : 0.0f;
    default:
      return 0.0f;
  }
}

int32_t Sarn2VST::getProgram() { return engine_.preset(); }

// Stores the number unclamped; every reader of the preset record clamps.
void Sarn2VST::setProgram(int32_t program) { engine_.setPreset(program); }

// Texts are cut to the 8 characters a host's parameter text holds; only
// values far outside the parameter ranges (from a chunk) ever reach that.
void Sarn2VST::getParameterDisplay(int32_t index, char* text) {
  char display[64];
  switch (index) {
    case presetParameter:
      std::snprintf(display, sizeof(display), "%lld", static_cast<long long>(engine_.preset()) + 1);
      copyBoundedText(text, display, kNameBound);
      break;
    case releaseParameter:
      std::snprintf(display, sizeof(display), "%.1f %%", static_cast<double>(engine_.release()) * 100.0);
      copyBoundedText(text, display, kNameBound);
      break;
    case filterParameter:
      copyBoundedText(text, engine_.filterOn() ? "On" : "Off", kNameBound);
      break;
    default:
      break;
  }
}

void Sarn2VST::getParameterName(int32_t index, char* text) {
  if (index >= 0 && index < kParameterCount) copyBoundedText(text, kParameterNames[index], kNameBound);
}

// Chunk layout, little-endian: preset (int32), release, reserved and pitch
// bend (floats), filter switch (int32). The same block serves banks and
// single programs.
int32_t Sarn2VST::getChunk(void** data, bool /*isPreset*/) {
  const Engine::ChunkFields fields = engine_.chunkFields();
  std::memset(chunkBlock, 0, sizeof(chunkBlock));
  writeField<int32_t>(chunkBlock, 0, fields.preset);
  writeField<float>(chunkBlock, 4, fields.release);
  writeField<float>(chunkBlock, 8, fields.reserved);
  writeField<float>(chunkBlock, 12, fields.pitchBend);
  writeField<int32_t>(chunkBlock, 16, fields.filterOn ? 1 : 0);
  *data = chunkBlock;
  return kChunkBytes;
}

// The host may call this from any thread while the audio thread renders:
// the engine takes the fields as relaxed stores and leaves the envelope
// rebuild to the audio thread's next block.
int32_t Sarn2VST::setChunk(void* data, intptr_t byteSize, bool /*isPreset*/) {
  if (byteSize != kChunkBytes || data == nullptr) return 0;
  const auto* block = static_cast<const uint8_t*>(data);
  Engine::ChunkFields fields;
  fields.preset = readField<int32_t>(block, 0);
  fields.release = readField<float>(block, 4);
  fields.reserved = readField<float>(block, 8);
  fields.pitchBend = readField<float>(block, 12);
  fields.filterOn = readField<int32_t>(block, 16) != 0;
  engine_.restoreChunkFields(fields);
  refreshDisplay();
  return 1;
}

}  // namespace sarn2

frame::AudioEffect* frame::createInstance(HostCallback hostCallback) {
  return new (std::nothrow) sarn2::Sarn2VST(hostCallback);
}
