// The instrument as a plug-in of the interface: a thin adapter between the
// framework classes and the sound engine. It holds what the host sees
// (parameters, programs, the state chunk, host calls) and forwards events
// and audio blocks to the engine.
#pragma once

#include <cstdint>
#include <string>

#include "frame/audio_effect_x.h"
#include "instrument/engine/engine.h"

namespace sarn2 {

class Sarn2VST : public frame::AudioEffectX {
 public:
  static constexpr int32_t kParameterCount = 3;
  static constexpr int32_t kVoiceCount = Engine::kVoiceCount;
  static constexpr int32_t kChunkBytes = 20;

  enum Parameter : int32_t { presetParameter = 0, releaseParameter = 1, filterParameter = 2 };

  // Reads its ROM files from the platform's fixed ROM directory.
  explicit Sarn2VST(HostCallback hostCallback);
  // Reads them from the given directory (ending in a separator) instead.
  Sarn2VST(HostCallback hostCallback, const std::string& romDirectory);
  ~Sarn2VST() override;

  void resume() override;
  void renderBlock(float** inputs, float** outputs, int32_t sampleFrames) override;
  intptr_t processEvents(void* events) override;
  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  int32_t getProgram() override;
  void setProgram(int32_t program) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  int32_t getChunk(void** data, bool isPreset) override;
  int32_t setChunk(void* data, intptr_t byteSize, bool isPreset) override;
  bool getEffectName(char* name) override;
  bool getVendorName(char* text) override;
  bool getProductName(char* text) override;
  int32_t getVendorVersion() override;

  Engine& engine() { return engine_; }
  const Engine& engine() const { return engine_; }

 private:
  Engine engine_;

  // getChunk hands the host the address of this block; it stays valid until
  // the next getChunk and for the object's life.
  alignas(4) uint8_t chunkBlock[kChunkBytes] = {};
};

}  // namespace sarn2
