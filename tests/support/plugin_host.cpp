#include "tests/support/plugin_host.h"

#include "tests/support/midi_block.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace testhost {

Recorder& recorder() {
  static Recorder instance;
  return instance;
}

int Recorder::count(int32_t opcode) const {
  int n = 0;
  for (const HostCall& call : calls) n += call.opcode == opcode ? 1 : 0;
  return n;
}

intptr_t recordingCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt) {
  Recorder& r = recorder();
  r.calls.push_back(HostCall{effect, opcode, index, value, ptr, opt});
  return opcode == HostOpcode::version ? r.versionAnswer : r.otherAnswer;
}

std::string pluginPath() {
#if defined(_WIN32)
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path);
  directory.erase(directory.find_last_of("\\/") + 1);
  return directory + "sarn2.dll";
#else
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  std::string directory(path, length > 0 ? static_cast<size_t>(length) : 0);
  directory.erase(directory.find_last_of('/') + 1);
  return directory + "sarn2.so";
#endif
}

PluginLibrary::PluginLibrary(const std::string& path) {
#if defined(_WIN32)
  handle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
  handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

PluginLibrary::~PluginLibrary() {
  if (handle == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
  dlclose(handle);
#endif
}

PluginLibrary::Entry PluginLibrary::entry(const char* name) const {
  if (handle == nullptr) return nullptr;
#if defined(_WIN32)
  return reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name)));
#else
  return reinterpret_cast<Entry>(dlsym(handle, name));
#endif
}

Instance::Instance(const PluginLibrary& library, HostCallback callback) {
  if (PluginLibrary::Entry main = library.entry()) record = main(callback);
}

Instance::~Instance() {
  if (record != nullptr) close();
}

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
  return record->dispatcher(record, opcode, index, value, ptr, opt);
}

std::string Instance::text(int32_t opcode, int32_t index, size_t bufferSize) const {
  std::vector<char> buffer(bufferSize, 0);
  dispatch(opcode, index, 0, buffer.data());
  return std::string(buffer.data());
}

std::vector<uint8_t> Instance::chunk() const {
  void* data = nullptr;
  const intptr_t size = dispatch(EffectOpcode::getChunk, 0, 0, &data);
  if (data == nullptr || size <= 0) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t Instance::setChunk(const std::vector<uint8_t>& bytes) const {
  return dispatch(EffectOpcode::setChunk, 0, static_cast<intptr_t>(bytes.size()),
                  const_cast<uint8_t*>(bytes.data()));
}

std::vector<float> Instance::render(int32_t frames) const {
  std::vector<float> output(static_cast<size_t>(frames > 0 ? frames : 0), -7.0f);
  float* outputs[1] = {output.data()};
  float* inputs[1] = {nullptr};
  record->replace(record, inputs, outputs, frames);
  return output;
}

intptr_t Instance::sendMidi(const std::vector<std::array<uint8_t, 3>>& messages) const {
  MidiBlock block(messages);
  return dispatch(EffectOpcode::processEvents, 0, 0, block.block());
}

intptr_t Instance::close() {
  const intptr_t answer = dispatch(EffectOpcode::close);
  record = nullptr;
  return answer;
}

}  // namespace testhost
