// A plug-in library of the interface, loaded and driven the way a host
// drives it: entry point, effect record, dispatcher opcodes, event blocks
// and the replacing block entry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/plugin_interface.h"

namespace sarn2tool {

// One three-byte MIDI message; shorter messages leave the tail 0.
using MidiMessage = std::array<uint8_t, 3>;

class HostedPlugin {
 public:
  // Loads the library and creates one instance through its entry point,
  // answering the version query with 2400. Throws ToolError when the file
  // is not a loadable library, exports no entry point, or the entry point
  // gives no effect record of this interface. One instance per process.
  HostedPlugin(const std::string& libraryPath, float sampleRate, int32_t blockSize);
  // Switches processing off if it was on, closes the instance (opcode 1)
  // and unloads the library.
  ~HostedPlugin();
  HostedPlugin(const HostedPlugin&) = delete;
  HostedPlugin& operator=(const HostedPlugin&) = delete;

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);

  int32_t inputCount() const { return effect->inputCount; }
  int32_t outputCount() const { return effect->outputCount; }
  int32_t programCount() const { return effect->programCount; }
  int32_t parameterCount() const { return effect->parameterCount; }
  bool keepsStateAsChunk() const { return (effect->flags & EffectFlags::kProgramsAreChunks) != 0; }
  std::string effectName();

  // The index of the parameter with exactly this name, if any.
  std::optional<int32_t> findParameter(const std::string& name);
  void setParameter(int32_t index, float value) { effect->setParameter(effect, index, value); }
  float getParameter(int32_t index) { return effect->getParameter(effect, index); }

  std::vector<uint8_t> getChunk();
  bool setChunk(const std::vector<uint8_t>& bytes);

  // Opens processing: opcode 12 with value 1, then the start-processing
  // call hosts make after it.
  void startProcessing();

  // Sends the messages as one event block (opcode 25), all at frame 0 of
  // the next audio block. The block stays valid until the next call.
  void sendMidi(const std::vector<MidiMessage>& messages);

  // Renders frames (at most the block size) through the replacing entry;
  // returns output 0.
  const float* process(int32_t frames);

 private:
  void* library = nullptr;
  EffectRecord* effect = nullptr;
  int32_t maxFrames = 0;
  bool processing = false;
  std::vector<std::vector<float>> inputBuffers, outputBuffers;
  std::vector<float*> inputPointers, outputPointers;
  std::vector<MidiEvent> eventStorage;
  std::vector<intptr_t> eventBlockStorage;
};

}  // namespace sarn2tool
