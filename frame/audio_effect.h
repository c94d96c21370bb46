// The framework base class: owns the effect record handed to the host and
// gives every host-visible operation a harmless default.
#pragma once

#include <atomic>
#include <cstdint>

#include "frame/plugin_interface.h"

namespace frame {

// The editor a plug-in may offer. No editor exists in this system; the
// interface is here so that the frame forwards editor opcodes the way hosts
// expect once one does.
struct KeyRecord {
  int32_t character;
  uint8_t virtualKey;
  uint8_t modifiers;
};

class EditorInterface {
 public:
  virtual ~EditorInterface() = default;
  virtual bool getViewRect(void* rect) = 0;
  virtual bool openView(void* parentWindow) = 0;
  virtual void closeView() = 0;
  virtual void idleView() = 0;
  virtual bool viewKeyDown(KeyRecord& key) = 0;
  virtual bool viewKeyUp(KeyRecord& key) = 0;
  virtual bool setViewKnobMode(intptr_t mode) = 0;
};

class AudioEffect {
 public:
  AudioEffect(HostCallback hostCallback, int32_t programCount, int32_t parameterCount);
  virtual ~AudioEffect();

  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  virtual intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}
  virtual void setSampleRate(float rate) { sampleRate.store(rate, std::memory_order_relaxed); }
  virtual void setBlockSize(int32_t size) { blockSize.store(size, std::memory_order_relaxed); }

  virtual void renderBlock(float** inputs, float** outputs, int32_t sampleFrames) = 0;
  virtual void renderBlockDouble(double** /*inputs*/, double** /*outputs*/, int32_t /*sampleFrames*/) {}

  virtual void setParameter(int32_t /*index*/, float /*value*/) {}
  virtual float getParameter(int32_t /*index*/) { return 0.0f; }
  virtual void automateParameter(int32_t index, float value);

  virtual int32_t getProgram() { return currentProgram; }
  virtual void setProgram(int32_t program) { currentProgram = program; }
  virtual void setProgramName(char* /*name*/) {}
  virtual void getProgramName(char* name) { name[0] = 0; }
  virtual void getParameterLabel(int32_t /*index*/, char* label) { label[0] = 0; }
  virtual void getParameterDisplay(int32_t /*index*/, char* text) { text[0] = 0; }
  virtual void getParameterName(int32_t /*index*/, char* text) { text[0] = 0; }
  virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
  virtual int32_t setChunk(void* /*data*/, intptr_t /*byteSize*/, bool /*isPreset*/) { return 0; }

  virtual void setUniqueId(int32_t id) { effectRecord.uniqueId = id; }
  virtual void setInputCount(int32_t count) { effectRecord.inputCount = count; }
  virtual void setOutputCount(int32_t count) { effectRecord.outputCount = count; }
  virtual void setCanReplace(bool state) { setFlag(EffectFlags::kCanReplace, state); }
  virtual void setCanReplaceDouble(bool state) { setFlag(EffectFlags::kCanReplaceDouble, state); }
  virtual void setProgramsAreChunks(bool state) { setFlag(EffectFlags::kProgramsAreChunks, state); }
  virtual void setInitialDelay(int32_t delay) { effectRecord.initialDelay = delay; }

  virtual EditorInterface* getEditor() { return editor; }
  virtual EffectRecord* getEffectRecord() { return &effectRecord; }
  virtual float getSampleRate() { return sampleRate.load(std::memory_order_relaxed); }
  virtual int32_t getBlockSize() { return blockSize.load(std::memory_order_relaxed); }

  virtual intptr_t getHostVersion();
  virtual intptr_t getHostCurrentId();
  virtual void hostIdle();

  virtual void decibelsToText(float value, char* text, int32_t maxLen);
  virtual void frequencyToText(float samples, char* text, int32_t maxLen);
  virtual void millisecondsToText(float samples, char* text, int32_t maxLen);
  virtual void floatToText(float value, char* text, int32_t maxLen);
  virtual void integerToText(int32_t value, char* text, int32_t maxLen);

  virtual void renderBlockAccumulating(float** /*inputs*/, float** /*outputs*/, int32_t /*sampleFrames*/) {}
  virtual float getMeterLevel() { return 0.0f; }
  virtual void setHasMeter(bool state) { setFlag(EffectFlags::kHasMeter, state); }
  virtual void setHasClip(bool state) { setFlag(EffectFlags::kHasClip, state); }
  virtual void setCanMono(bool state) { setFlag(EffectFlags::kCanMono, state); }
  virtual void setRealtimeQualities(int32_t qualities) { effectRecord.realtimeQualities = qualities; }
  virtual void setOfflineQualities(int32_t qualities) { effectRecord.offlineQualities = qualities; }
  virtual bool isInputConnected(int32_t input);
  virtual bool isOutputConnected(int32_t output);

 protected:
  // Sends one request to the host; without a callback nothing is sent and
  // the answer is 0, which each caller maps to its own fallback.
  intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  bool hasHost() const { return hostCallback != nullptr; }
  void setFlag(int32_t flag, bool state);

  HostCallback hostCallback;
  EditorInterface* editor = nullptr;
  // The host may set the rate and block size from a thread other than the
  // audio thread that reads them; atomics keep each access a single load or
  // store without a data race.
  std::atomic<float> sampleRate{44100.0f};
  std::atomic<int32_t> blockSize{1024};
  int32_t programCount;
  int32_t parameterCount;
  int32_t currentProgram = 0;
  EffectRecord effectRecord;

 private:
  static intptr_t dispatcherEntry(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                  void* ptr, float opt);
  static void accumulateEntry(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames);
  static void replaceEntry(EffectRecord* effect, float** inputs, float** outputs, int32_t sampleFrames);
  static void replaceDoubleEntry(EffectRecord* effect, double** inputs, double** outputs,
                                 int32_t sampleFrames);
  static void setParameterEntry(EffectRecord* effect, int32_t index, float value);
  static float getParameterEntry(EffectRecord* effect, int32_t index);
};

}  // namespace frame
