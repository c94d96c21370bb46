// One instance of a loaded plug-in, driven only through its effect record:
// dispatcher opcodes, parameters, chunks, event blocks and the replacing
// block entry, with the audio buffers a host hands it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/plugin_interface.h"
#include "tools/host/host_callback.h"
#include "tools/host/midi_block.h"
#include "tools/host/plugin_library.h"

namespace pluginhost {

class PluginInstance {
 public:
  // Calls the library's entry point with the callback; nothing more, so a
  // caller sees exactly what the plug-in does when it is created. effect()
  // is null when the library exports no entry or the entry refused.
  explicit PluginInstance(const PluginLibrary& library, HostCallback callback = &hostCallback);
  // Switches processing off if it is on and closes the instance.
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  EffectRecord* effect() const { return record; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) const;

  int32_t inputCount() const { return record->inputCount; }
  int32_t outputCount() const { return record->outputCount; }
  int32_t programCount() const { return record->programCount; }
  int32_t parameterCount() const { return record->parameterCount; }
  bool keepsStateAsChunk() const { return (record->flags & EffectFlags::kProgramsAreChunks) != 0; }

  void setParameter(int32_t index, float value) const { record->setParameter(record, index, value); }
  float getParameter(int32_t index) const { return record->getParameter(record, index); }
  // The text an opcode writes into a host buffer of this size (always
  // terminated, however much the plug-in writes short of the end).
  std::string text(int32_t opcode, int32_t index = 0, size_t bufferSize = 256) const;
  // The index of the parameter with exactly this name, if any.
  std::optional<int32_t> findParameter(const std::string& name) const;

  // The chunk the plug-in hands out (empty when it gives none) and loading
  // one; the plug-in gets a copy, so the caller's bytes stay untouched.
  std::vector<uint8_t> chunk() const;
  intptr_t setChunk(const std::vector<uint8_t>& bytes) const;

  // Sample rate and the largest block; the block size also sizes the audio
  // buffers, so blocks up to it never allocate.
  void setSampleRate(float rate) const;
  void setBlockSize(int32_t frames);
  // On: opcode 12 with 1, then the start call hosts make after it. Off: the
  // stop call, then opcode 12 with 0. Repeating the current state does nothing.
  void setProcessing(bool on);
  bool processing() const { return isProcessing; }

  intptr_t sendEvents(MidiBlock& block) const;
  // The messages as one block, all at the next audio block's first frame.
  intptr_t sendMidi(const std::vector<Midi>& messages) const;

  // Renders frames through the replacing entry into the instance's buffers,
  // whose outputs are first filled with `fill` (inputs get silence). The
  // buffers grow when frames exceeds the block size; returns output 0.
  const float* process(int32_t frames, float fill = 0.0f);
  const float* output(int32_t channel) const { return outputs[static_cast<size_t>(channel)].data(); }

  // Closes now (opcode 1); returns the dispatcher's answer. The record is
  // gone after it.
  intptr_t close();
  // Lets go of a record that is not of this interface without calling it.
  void abandon() { record = nullptr; }

 private:
  void sizeBuffers(size_t frames);

  EffectRecord* record = nullptr;
  bool isProcessing = false;
  std::vector<std::vector<float>> inputs, outputs;
  std::vector<float*> inputPointers, outputPointers;
};

}  // namespace pluginhost
