// A minimal host for tests: loads the built plug-in library the way a real
// host does (dlopen / LoadLibrary), calls its entry point with a recording
// host callback and drives the instance only through its effect record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/plugin_interface.h"

namespace testhost {

struct HostCall {
  EffectRecord* effect;
  int32_t opcode;
  int32_t index;
  intptr_t value;
  void* ptr;
  float opt;
};

// What the recording callback answers and what it has seen. One recorder
// serves the process; tests reset it.
struct Recorder {
  std::vector<HostCall> calls;
  intptr_t versionAnswer = 2400;
  intptr_t otherAnswer = 0;
  void reset() { *this = Recorder{}; }
  int count(int32_t opcode) const;
};
Recorder& recorder();
intptr_t recordingCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt);

// Path of the plug-in library built beside the test programs.
std::string pluginPath();

// The loaded library and its entry point; unloads on destruction.
class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path = pluginPath());
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return handle != nullptr; }
  using Entry = EffectRecord* (*)(HostCallback);
  Entry entry(const char* name = "VSTPluginMain") const;

 private:
  void* handle = nullptr;
};

// One instance, opened through the entry point and closed with opcode 1.
class Instance {
 public:
  explicit Instance(const PluginLibrary& library, HostCallback callback = &recordingCallback);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  EffectRecord* effect() const { return record; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) const;
  void setParameter(int32_t index, float value) const { record->setParameter(record, index, value); }
  float getParameter(int32_t index) const { return record->getParameter(record, index); }
  std::string text(int32_t opcode, int32_t index = 0, size_t bufferSize = 256) const;
  std::vector<uint8_t> chunk() const;
  intptr_t setChunk(const std::vector<uint8_t>& bytes) const;
  // Renders through the replacing entry; returns the one output channel.
  std::vector<float> render(int32_t frames) const;
  // Sends MIDI messages (status, data1, data2) as one event block.
  intptr_t sendMidi(const std::vector<std::array<uint8_t, 3>>& messages) const;
  // Closes now (opcode 1); returns the dispatcher's answer.
  intptr_t close();

 private:
  EffectRecord* record = nullptr;
};

}  // namespace testhost
