// The identifiers the LV2 plug-in is known by: its own URI, the state
// property and type it saves its 20-byte chunk under, and its port numbers.
// The bundle's description (sarn2.ttl) uses the same values.
#pragma once

#include <cstdint>

namespace sarn2lv2 {

#define SARN2_LV2_URI "urn:tavrel:sarn2"

constexpr const char* kPluginUri = SARN2_LV2_URI;
// One property holds the whole chunk, as the other plug-in format saves it.
constexpr const char* kChunkPropertyUri = SARN2_LV2_URI "#chunk";
constexpr const char* kChunkTypeUri = SARN2_LV2_URI "#Chunk";

enum Port : uint32_t {
  midiInPort = 0,
  audioOutPort = 1,
  presetPort = 2,
  releasePort = 3,
  filterPort = 4,
  portCount = 5
};

}  // namespace sarn2lv2
