// What the fuzz targets share: a stand-in host, the demo ROM set on disk, a
// reader over the fuzzer's bytes, and the checks every rendered block must
// pass. Any failed check aborts, which libFuzzer reports as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/plugin_interface.h"

namespace fuzzhost {

// Reads the input front to back; once it is used up every read gives 0.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data(data), size(size) {}

  bool empty() const { return position >= size; }
  size_t remaining() const { return size - position; }
  const uint8_t* current() const { return data + position; }

  uint8_t byte();
  uint16_t u16();
  uint32_t u32();
  int32_t i32() { return static_cast<int32_t>(u32()); }
  // Raw bits, so NaNs, infinities and denormals all come through.
  float f32();

 private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

// Aborts with a message when a property of the instrument does not hold.
void require(bool condition, const char* what);

// Answers the version query with 2400 and every other request with 0.
intptr_t hostCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt);

// A directory holding the demo ROM set, written once per process and removed
// at exit. Ends in a separator.
const std::string& demoRomDirectory();

// A fresh temporary directory for the process, ending in a separator;
// removed at exit.
const std::string& scratchDirectory();

// A new instance that reads its ROM files from the given directory, handed
// out as its effect record the way the entry point does.
EffectRecord* openInstance(const std::string& romDirectory);
// Closes through opcode 1, which must answer 1.
void closeInstance(EffectRecord* effect);

// Renders through the replacing entry into an exactly sized buffer, with a
// second output channel that must stay untouched. Every sample must be
// finite and within [-1, 1]; a count of 0 or less must write nothing.
// Returns the samples written.
std::vector<float> renderChecked(EffectRecord* effect, int32_t frames);

// One event of an event block. A null entry puts a null pointer in the list.
struct EventSpec {
  int32_t type = kMidiEventType;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  bool null = false;
};

// Sends the events as one block through opcode 25. declaredCount is what the
// block's count field says; it may be 0 or negative but never more than the
// events given, since a host's list always holds as many pointers as it
// declares.
intptr_t sendEvents(EffectRecord* effect, const std::vector<EventSpec>& events, int32_t declaredCount);
intptr_t sendEvents(EffectRecord* effect, const std::vector<EventSpec>& events);

// The instance's chunk as bytes (opcode 23).
std::vector<uint8_t> chunkBytes(EffectRecord* effect);

}  // namespace fuzzhost
