#include "tools/sarn2/live_plugin.h"

#include <cstring>

#include "tools/host/host_callback.h"

namespace sarn2tool {

LivePlugin::LivePlugin(pluginhost::PluginInstance& plugin, int32_t blockSize, size_t eventCapacity)
    : plugin_(plugin), block_(eventCapacity), blockSize_(blockSize) {}

void LivePlugin::send(const pluginhost::Midi* messages, size_t count) {
  block_.clear();
  for (size_t i = 0; i < count && block_.add(messages[i]); ++i) {
  }
  plugin_.sendEvents(block_);
}

void LivePlugin::render(int32_t frames, float* const* outputs, size_t channels, size_t offset) {
  plugin_.process(frames);
  const size_t bytes = static_cast<size_t>(frames) * sizeof(float);
  for (size_t c = 0; c < channels; ++c)
    std::memcpy(outputs[c] + offset, plugin_.output(static_cast<int32_t>(c)), bytes);
}

void LivePlugin::reconfigure(float sampleRate, int32_t blockSize) {
  plugin_.setProcessing(false);
  // What the plug-in is told when it asks the host.
  pluginhost::HostAnswers& answers = pluginhost::callLog().answers;
  answers.sampleRate = sampleRate;
  answers.blockSize = blockSize;
  plugin_.setSampleRate(sampleRate);
  plugin_.setBlockSize(blockSize);
  blockSize_ = blockSize;
  plugin_.setProcessing(true);
}

}  // namespace sarn2tool
