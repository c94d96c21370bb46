#include "tests/fuzz/fuzz_support.h"

#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "instrument/sarn2_vst.h"
#include "tools/romset/romset.h"

using namespace sarn2;

namespace fuzzhost {

uint8_t ByteReader::byte() { return position < size ? data[position++] : 0; }

uint16_t ByteReader::u16() {
  const uint16_t low = byte();
  return static_cast<uint16_t>(low | byte() << 8);
}

uint32_t ByteReader::u32() {
  const uint32_t low = u16();
  return low | static_cast<uint32_t>(u16()) << 16;
}

float ByteReader::f32() {
  const uint32_t bits = u32();
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

intptr_t hostCallback(EffectRecord* /*effect*/, int32_t opcode, int32_t /*index*/, intptr_t /*value*/,
                      void* /*ptr*/, float /*opt*/) {
  return opcode == HostOpcode::version ? 2400 : 0;
}

namespace {

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(scratchDirectory(), ignored);
}

}  // namespace

// Never destroyed: the exit handler that removes the directory still needs it.
const std::string& scratchDirectory() {
  static const std::string* const directory = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "sarn2-fuzz-XXXXXX").string();
    require(mkdtemp(pattern.data()) != nullptr, "cannot make a scratch directory");
    auto* path = new std::string(pattern + "/");
    std::atexit(removeScratch);
    return path;
  }();
  return *directory;
}

const std::string& demoRomDirectory() {
  static const std::string directory = [] {
    const std::string path = scratchDirectory() + "demo-roms/";
    std::string error;
    if (!romset::demoRomSet().write(path, &error)) {
      std::fprintf(stderr, "cannot write the demo ROM set: %s\n", error.c_str());
      std::abort();
    }
    return path;
  }();
  return directory;
}

EffectRecord* openInstance(const std::string& romDirectory) {
  auto* instrument = new Sarn2VST(&hostCallback, romDirectory);
  return instrument->getEffectRecord();
}

void closeInstance(EffectRecord* effect) {
  require(effect->dispatcher(effect, EffectOpcode::close, 0, 0, nullptr, 0.0f) == 1, "close answers 1");
}

std::vector<float> renderChecked(EffectRecord* effect, int32_t frames) {
  constexpr float kUntouched = -7.0f;
  constexpr size_t kSentinelFrames = 16;
  const size_t length = frames > 0 ? static_cast<size_t>(frames) : kSentinelFrames;
  // Exactly sized heap buffers, so a write past the block's end is caught.
  std::unique_ptr<float[]> first(new float[length]);
  std::unique_ptr<float[]> second(new float[length]);
  for (size_t i = 0; i < length; ++i) {
    first[i] = frames > 0 ? std::nanf("") : kUntouched;
    second[i] = kUntouched;
  }
  float* outputs[2] = {first.get(), second.get()};
  effect->replace(effect, nullptr, outputs, frames);
  for (size_t i = 0; i < length; ++i) {
    if (frames > 0) {
      require(std::isfinite(first[i]), "every output sample is written and finite");
      require(first[i] >= -1.0f && first[i] <= 1.0f, "every output sample lies within [-1, 1]");
    } else {
      require(first[i] == kUntouched, "a block of 0 or fewer samples writes nothing");
    }
    require(second[i] == kUntouched, "only the first output channel is written");
  }
  if (frames <= 0) return {};
  return std::vector<float>(first.get(), first.get() + frames);
}

intptr_t sendEvents(EffectRecord* effect, const std::vector<EventSpec>& events, int32_t declaredCount) {
  require(declaredCount <= static_cast<int64_t>(events.size()), "harness: declared count within the list");
  std::vector<MidiEvent> storage(events.size());
  // The header and exactly as many pointers as there are events.
  std::vector<uint8_t> block(offsetof(EventBlock, events) + sizeof(Event*) * events.size(), 0);
  auto* header = reinterpret_cast<EventBlock*>(block.data());
  header->eventCount = declaredCount;
  auto** list = reinterpret_cast<Event**>(block.data() + offsetof(EventBlock, events));
  for (size_t i = 0; i < events.size(); ++i) {
    MidiEvent& event = storage[i];
    std::memset(&event, 0, sizeof(event));
    event.type = events[i].type;
    event.byteSize = sizeof(MidiEvent);
    event.midiData[0] = static_cast<char>(events[i].status);
    event.midiData[1] = static_cast<char>(events[i].data1);
    event.midiData[2] = static_cast<char>(events[i].data2);
    list[i] = events[i].null ? nullptr : reinterpret_cast<Event*>(&event);
  }
  return effect->dispatcher(effect, EffectOpcode::processEvents, 0, 0, block.data(), 0.0f);
}

intptr_t sendEvents(EffectRecord* effect, const std::vector<EventSpec>& events) {
  return sendEvents(effect, events, static_cast<int32_t>(events.size()));
}

std::vector<uint8_t> chunkBytes(EffectRecord* effect) {
  void* data = nullptr;
  const intptr_t size = effect->dispatcher(effect, EffectOpcode::getChunk, 0, 0, &data, 0.0f);
  require(size == Sarn2VST::kChunkBytes && data != nullptr, "the chunk is 20 bytes");
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace fuzzhost
