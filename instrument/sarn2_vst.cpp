// The instrument object: construction, identity, parameters, presets and
// the 20-byte state chunk.
#include "instrument/sarn2_vst.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "frame/entry.h"
#include "frame/numeric.h"
#include "instrument/rom_directory.h"

namespace {

constexpr int32_t kNameBound = 8;
constexpr int32_t kEffectNameBound = 32;
constexpr int32_t kVendorTextBound = 64;

constexpr const char* kParameterNames[Sarn2VST::kParameterCount] = {"Preset", "Release", "Filter"};

constexpr auto relaxed = std::memory_order_relaxed;

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

AudioEffect* createInstance(HostCallback hostCallback) { return new (std::nothrow) Sarn2VST(hostCallback); }

Sarn2VST::Sarn2VST(HostCallback hostCallback) : Sarn2VST(hostCallback, romDirectory()) {}

Sarn2VST::Sarn2VST(HostCallback hostCallback, const std::string& directory)
    : AudioEffectX(hostCallback, 0, kParameterCount) {
  setIsSynth(true);
  setProgramsAreChunks(true);
  setInputCount(0);
  setOutputCount(1);
  loadRoms(directory);
  applyPreset(preset.load(relaxed));
}

Sarn2VST::~Sarn2VST() = default;

void Sarn2VST::loadRoms(const std::string& directory) { roms = loadRomTables(directory); }

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

void Sarn2VST::setParameter(int32_t index, float value) {
  switch (index) {
    case presetParameter: {
      const int32_t number = clampPreset(truncateToInt32(value * 31.0 + 0.5));
      preset.store(number, relaxed);
      applyPreset(number);
      break;
    }
    case releaseParameter:
      release.store(value, relaxed);
      break;
    case filterParameter:
      filterOn.store(value >= 0.5f, relaxed);
      break;
    default:
      break;
  }
}

float Sarn2VST::getParameter(int32_t index) {
  switch (index) {
    case presetParameter:
      return static_cast<float>(preset.load(relaxed) / 31.0);
    case releaseParameter:
      return release.load(relaxed);
    case filterParameter:
      return filterOn.load(relaxed) ? 1.0f : 0.0f;
    default:
      return 0.0f;
  }
}

int32_t Sarn2VST::getProgram() { return preset.load(relaxed); }

// Stores the number unclamped; every reader of the preset record clamps.
void Sarn2VST::setProgram(int32_t program) {
  preset.store(program, relaxed);
  applyPreset(program);
}

// Texts are cut to the 8 characters a host's parameter text holds; only
// values far outside the parameter ranges (from a chunk) ever reach that.
void Sarn2VST::getParameterDisplay(int32_t index, char* text) {
  char display[64];
  switch (index) {
    case presetParameter:
      std::snprintf(display, sizeof(display), "%lld", static_cast<long long>(preset.load(relaxed)) + 1);
      copyBoundedText(text, display, kNameBound);
      break;
    case releaseParameter:
      std::snprintf(display, sizeof(display), "%.1f %%", static_cast<double>(release.load(relaxed)) * 100.0);
      copyBoundedText(text, display, kNameBound);
      break;
    case filterParameter:
      copyBoundedText(text, filterOn.load(relaxed) ? "On" : "Off", kNameBound);
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
  std::memset(chunkBlock, 0, sizeof(chunkBlock));
  writeField<int32_t>(chunkBlock, 0, preset.load(relaxed));
  writeField<float>(chunkBlock, 4, release.load(relaxed));
  writeField<float>(chunkBlock, 8, chunkReserved.load(relaxed));
  writeField<float>(chunkBlock, 12, pitchBend.load(relaxed));
  writeField<int32_t>(chunkBlock, 16, filterOn.load(relaxed) ? 1 : 0);
  *data = chunkBlock;
  return kChunkBytes;
}

int32_t Sarn2VST::setChunk(void* data, intptr_t byteSize, bool /*isPreset*/) {
  if (byteSize != kChunkBytes || data == nullptr) return 0;
  const auto* block = static_cast<const uint8_t*>(data);
  const int32_t number = clampPreset(readField<int32_t>(block, 0));
  release.store(readField<float>(block, 4), relaxed);
  chunkReserved.store(readField<float>(block, 8), relaxed);
  pitchBend.store(readField<float>(block, 12), relaxed);
  filterOn.store(readField<int32_t>(block, 16) != 0, relaxed);
  preset.store(number, relaxed);
  applyPreset(number);
  pendingEnvelopePreset.store(number, std::memory_order_release);
  refreshDisplay();
  return 1;
}
