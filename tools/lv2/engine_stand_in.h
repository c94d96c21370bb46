// TEMPORARY: drives the instrument through Sarn2VST until the framework-free
// engine exists; the plug-in then uses the engine directly.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "instrument/sarn2_vst.h"

namespace sarn2lv2 {

class Engine {
 public:
  static constexpr int32_t kChunkBytes = Sarn2VST::kChunkBytes;

  explicit Engine(const std::string& romDirectory) : vst(nullptr, romDirectory) {}

  void midi(const uint8_t* bytes, uint32_t size) {
    MidiEvent event{};
    event.type = kMidiEventType;
    event.byteSize = sizeof(MidiEvent);
    for (uint32_t i = 0; i < 3 && i < size; ++i) event.midiData[i] = static_cast<char>(bytes[i]);
    struct {
      int32_t count;
      intptr_t reserved;
      Event* events[2];
    } block{1, 0, {reinterpret_cast<Event*>(&event), nullptr}};
    vst.processEvents(&block);
  }
  void render(float* output, int32_t frames, double rate) {
    vst.setSampleRate(static_cast<float>(rate));
    float* outputs[1] = {output};
    vst.renderBlock(nullptr, outputs, frames);
  }
  void selectPreset(int32_t number) {
    vst.preset.store(number, std::memory_order_relaxed);
    vst.applyPreset(number);
  }
  void setRelease(float value) { vst.release.store(value, std::memory_order_relaxed); }
  void setFilterOn(bool on) { vst.filterOn.store(on, std::memory_order_relaxed); }
  void saveChunk(uint8_t* out) {
    void* data = nullptr;
    vst.getChunk(&data, false);
    std::memcpy(out, data, kChunkBytes);
  }
  bool loadChunk(const uint8_t* data, uint32_t size) {
    return vst.setChunk(const_cast<uint8_t*>(data), size, false) == 1;
  }

 private:
  Sarn2VST vst;
};

}  // namespace sarn2lv2
