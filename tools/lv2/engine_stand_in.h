// The one seam between the LV2 plug-in and the sound: the interface of the
// framework-free engine (sarn2::Engine: raw MIDI in, blocks rendered at a
// rate, preset, release, filter, chunk fields with the envelope-rebuild
// hand-over), provided here over Sarn2VST until that engine is part of the
// tree. Then this file goes, the plug-in includes instrument/engine/engine.h
// and links the engine alone instead of sarn2_core and its frame/ classes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "instrument/sarn2_vst.h"

namespace sarn2 {

class Engine {
 public:
  explicit Engine(const std::string& romDirectory) : vst(nullptr, romDirectory) {}

  void handleMidi(uint8_t status, uint8_t data1, uint8_t data2) {
    MidiEvent event{};
    event.type = kMidiEventType;
    event.byteSize = sizeof(MidiEvent);
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    struct {
      int32_t count;
      intptr_t reserved;
      Event* events[2];
    } block{1, 0, {reinterpret_cast<Event*>(&event), nullptr}};
    vst.processEvents(&block);
  }
  void renderBlock(float* output, int32_t frames, double rate) {
    vst.setSampleRate(static_cast<float>(rate));
    float* outputs[1] = {output};
    vst.renderBlock(nullptr, outputs, frames);
  }
  void setPreset(int32_t number) {
    vst.preset.store(number, std::memory_order_relaxed);
    vst.applyPreset(number);
  }
  void setRelease(float value) { vst.release.store(value, std::memory_order_relaxed); }
  void setFilterOn(bool on) { vst.filterOn.store(on, std::memory_order_relaxed); }

  struct ChunkFields {
    int32_t preset{0};
    float release{0.5f};
    float reserved{0.0f};
    float pitchBend{0.0f};
    bool filterOn{true};
  };
  ChunkFields chunkFields() {
    void* data = nullptr;
    vst.getChunk(&data, false);
    const auto* b = static_cast<const uint8_t*>(data);
    ChunkFields f;
    int32_t filter = 0;
    std::memcpy(&f.preset, b, 4);
    std::memcpy(&f.release, b + 4, 4);
    std::memcpy(&f.reserved, b + 8, 4);
    std::memcpy(&f.pitchBend, b + 12, 4);
    std::memcpy(&filter, b + 16, 4);
    f.filterOn = filter != 0;
    return f;
  }
  void restoreChunkFields(const ChunkFields& f) {
    uint8_t b[20];
    const int32_t filter = f.filterOn ? 1 : 0;
    std::memcpy(b, &f.preset, 4);
    std::memcpy(b + 4, &f.release, 4);
    std::memcpy(b + 8, &f.reserved, 4);
    std::memcpy(b + 12, &f.pitchBend, 4);
    std::memcpy(b + 16, &filter, 4);
    vst.setChunk(b, 20, false);
  }

 private:
  Sarn2VST vst;
};

}  // namespace sarn2
