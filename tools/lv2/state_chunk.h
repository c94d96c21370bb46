// The instrument's saved state as the 20 bytes both plug-in formats store:
// preset (int32), release, reserved and pitch bend (floats), filter switch
// (int32, 1 or 0), each little-endian.
#pragma once

#include <cstdint>
#include <cstring>

#include "instrument/engine/engine.h"

namespace sarn2 {

constexpr uint32_t kStateChunkBytes = 20;

inline void encodeStateChunk(const Engine::ChunkFields& fields, uint8_t* out) {
  const int32_t filter = fields.filterOn ? 1 : 0;
  std::memcpy(out + 0, &fields.preset, 4);
  std::memcpy(out + 4, &fields.release, 4);
  std::memcpy(out + 8, &fields.reserved, 4);
  std::memcpy(out + 12, &fields.pitchBend, 4);
  std::memcpy(out + 16, &filter, 4);
}

// Any non-zero filter word means on.
inline Engine::ChunkFields decodeStateChunk(const uint8_t* in) {
  Engine::ChunkFields fields;
  int32_t filter = 0;
  std::memcpy(&fields.preset, in + 0, 4);
  std::memcpy(&fields.release, in + 4, 4);
  std::memcpy(&fields.reserved, in + 8, 4);
  std::memcpy(&fields.pitchBend, in + 12, 4);
  std::memcpy(&filter, in + 16, 4);
  fields.filterOn = filter != 0;
  return fields;
}

}  // namespace sarn2
