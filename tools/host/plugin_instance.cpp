#include "tools/host/plugin_instance.h"

#include <algorithm>

namespace pluginhost {

PluginInstance::PluginInstance(const PluginLibrary& library, HostCallback callback) {
  if (PluginLibrary::Entry entry = library.findEntry()) record = entry(callback);
}

PluginInstance::~PluginInstance() {
  if (record == nullptr) return;
  setProcessing(false);
  close();
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
  return record->dispatcher(record, opcode, index, value, ptr, opt);
}

std::string PluginInstance::text(int32_t opcode, int32_t index, size_t bufferSize) const {
  std::vector<char> buffer(bufferSize + 1, 0);
  dispatch(opcode, index, 0, buffer.data());
  buffer[bufferSize] = 0;
  return std::string(buffer.data());
}

std::optional<int32_t> PluginInstance::findParameter(const std::string& name) const {
  for (int32_t i = 0; i < record->parameterCount; ++i)
    if (text(EffectOpcode::getParameterName, i, 64) == name) return i;
  return std::nullopt;
}

std::vector<uint8_t> PluginInstance::chunk() const {
  void* data = nullptr;
  const intptr_t size = dispatch(EffectOpcode::getChunk, 0, 0, &data);
  if (data == nullptr || size <= 0) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t PluginInstance::setChunk(const std::vector<uint8_t>& bytes) const {
  // The opcode passes a pointer to writable memory.
  std::vector<uint8_t> copy = bytes;
  return dispatch(EffectOpcode::setChunk, 0, static_cast<intptr_t>(copy.size()), copy.data());
}

void PluginInstance::setSampleRate(float rate) const {
  dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, rate);
}

void PluginInstance::setBlockSize(int32_t frames) {
  dispatch(EffectOpcode::setBlockSize, 0, frames);
  sizeBuffers(static_cast<size_t>(std::max(frames, 0)));
}

void PluginInstance::setProcessing(bool on) {
  if (on == isProcessing) return;
  if (on) {
    dispatch(EffectOpcode::processingOnOff, 0, 1);
    dispatch(EffectOpcode::startProcessing);
  } else {
    dispatch(EffectOpcode::stopProcessing);
    dispatch(EffectOpcode::processingOnOff, 0, 0);
  }
  isProcessing = on;
}

intptr_t PluginInstance::sendEvents(MidiBlock& block) const {
  return dispatch(EffectOpcode::processEvents, 0, 0, block.block());
}

intptr_t PluginInstance::sendMidi(const std::vector<Midi>& messages) const {
  MidiBlock block(messages);
  return sendEvents(block);
}

void PluginInstance::sizeBuffers(size_t frames) {
  inputs.assign(static_cast<size_t>(std::max(record->inputCount, 0)), std::vector<float>(frames, 0.0f));
  outputs.assign(static_cast<size_t>(std::max(record->outputCount, 0)), std::vector<float>(frames, 0.0f));
  inputPointers.clear();
  outputPointers.clear();
  for (auto& channel : inputs) inputPointers.push_back(channel.data());
  for (auto& channel : outputs) outputPointers.push_back(channel.data());
  // A host always passes arrays, even to a plug-in without inputs or outputs.
  if (inputPointers.empty()) inputPointers.push_back(nullptr);
  if (outputPointers.empty()) outputPointers.push_back(nullptr);
}

const float* PluginInstance::process(int32_t frames, float fill) {
  const size_t count = static_cast<size_t>(std::max(frames, 0));
  if (outputPointers.empty() || (!outputs.empty() && outputs[0].size() < count) ||
      (!inputs.empty() && inputs[0].size() < count))
    sizeBuffers(count);
  for (auto& channel : inputs) std::fill_n(channel.begin(), count, 0.0f);
  for (auto& channel : outputs) std::fill_n(channel.begin(), count, fill);
  record->replace(record, inputPointers.data(), outputPointers.data(), frames);
  return outputPointers[0];
}

intptr_t PluginInstance::close() {
  const intptr_t answer = dispatch(EffectOpcode::close);
  record = nullptr;
  isProcessing = false;
  return answer;
}

}  // namespace pluginhost
