// The hosted plug-in as the live player's audio thread drives it: event
// blocks built in storage reserved up front, audio rendered into the
// server's buffers. Nothing here allocates except construction and
// reconfigure().
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/host/midi_block.h"
#include "tools/host/plugin_instance.h"

namespace sarn2tool {

class LivePlugin {
 public:
  // The plug-in is open at blockSize, processing on; event blocks hold up
  // to eventCapacity messages.
  LivePlugin(pluginhost::PluginInstance& plugin, int32_t blockSize, size_t eventCapacity);

  int32_t outputCount() const { return plugin_.outputCount(); }
  int32_t blockSize() const { return blockSize_; }
  size_t eventCapacity() const { return block_.capacity(); }

  // Sends the messages (at most the capacity) as one event block, all at
  // the first frame of the next render.
  void send(const pluginhost::Midi* messages, size_t count);
  // Renders frames (at most the block size) and writes output c to
  // outputs[c] + offset for every c below channels.
  void render(int32_t frames, float* const* outputs, size_t channels, size_t offset);

  // A new sample rate or largest block, as hosts change them: processing
  // off, set, on again. Main thread only, while no render runs; allocates.
  void reconfigure(float sampleRate, int32_t blockSize);

 private:
  pluginhost::PluginInstance& plugin_;
  pluginhost::MidiBlock block_;
  int32_t blockSize_;
};

}  // namespace sarn2tool
