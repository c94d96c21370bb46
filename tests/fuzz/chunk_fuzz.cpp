// State chunks of any size and content through opcode 24, with notes
// sounding, then rendering. A 20-byte chunk must come back from opcode 23
// as it went in (the preset clamped, the filter switch as 0 or 1); any
// other size must be refused and change nothing.
//
// Input: one set-up byte (bits 0-2 notes held before the load, bit 3 filter
// off, bit 4 the bank/program flag, bits 5-7 preset before / 4), then the
// chunk itself.
#include <cstring>
#include <memory>

#include "instrument/sarn2_vst.h"
#include "tests/fuzz/fuzz_support.h"

using namespace sarn2;

using namespace fuzzhost;

namespace {

int32_t readInt32(const uint8_t* bytes) {
  int32_t value;
  std::memcpy(&value, bytes, sizeof(value));
  return value;
}

// Display texts are cut to 8 characters and a zero, whatever the values.
void requireBoundedDisplays(EffectRecord* effect) {
  constexpr size_t kBufferBytes = 64;
  constexpr size_t kTextBytes = 9;
  for (int32_t index = 0; index < Sarn2VST::kParameterCount; ++index) {
    uint8_t text[kBufferBytes];
    std::memset(text, 0x55, sizeof(text));
    effect->dispatcher(effect, EffectOpcode::getParameterDisplay, index, 0, text, 0.0f);
    require(std::memchr(text, 0, kTextBytes) != nullptr, "a display text ends within 9 bytes");
    for (size_t i = kTextBytes; i < kBufferBytes; ++i)
      require(text[i] == 0x55, "a display text stays in 9 bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  const uint8_t setup = input.byte();
  const size_t chunkSize = input.remaining();
  // An exactly sized copy: reading past the chunk's end is caught.
  std::unique_ptr<uint8_t[]> chunk(new uint8_t[chunkSize]);
  if (chunkSize > 0) std::memcpy(chunk.get(), input.current(), chunkSize);

  EffectRecord* effect = openInstance(demoRomDirectory());
  effect->setParameter(effect, Sarn2VST::presetParameter, static_cast<float>((setup >> 5) * 4) / 31.0f);
  effect->setParameter(effect, Sarn2VST::filterParameter, (setup & 0x08) != 0 ? 0.0f : 1.0f);
  std::vector<EventSpec> notes;
  for (int i = 0; i < (setup & 7); ++i)
    notes.push_back({kMidiEventType, 0x90, static_cast<uint8_t>(45 + 7 * i), 100});
  sendEvents(effect, notes);
  renderChecked(effect, 256);

  const std::vector<uint8_t> before = chunkBytes(effect);
  const intptr_t answer = effect->dispatcher(effect, EffectOpcode::setChunk, (setup & 0x10) != 0 ? 1 : 0,
                                             static_cast<intptr_t>(chunkSize), chunk.get(), 0.0f);
  const std::vector<uint8_t> after = chunkBytes(effect);
  if (chunkSize == Sarn2VST::kChunkBytes) {
    require(answer == 1, "a 20-byte chunk is taken");
    const int32_t stored = readInt32(chunk.get());
    const int32_t expected = stored < 0 ? 0 : (stored > 31 ? 31 : stored);
    require(readInt32(after.data()) == expected, "the loaded preset is clamped to 0..31");
    require(std::memcmp(after.data() + 4, chunk.get() + 4, 12) == 0,
            "release, reserved value and pitch bend come back bit for bit");
    require(readInt32(after.data() + 16) == (readInt32(chunk.get() + 16) != 0 ? 1 : 0),
            "the filter switch comes back as 1 or 0");
  } else {
    require(answer == 0, "a chunk of any other size is refused");
    require(after == before, "a refused chunk changes nothing");
  }
  requireBoundedDisplays(effect);

  renderChecked(effect, 512);
  renderChecked(effect, 512);
  sendEvents(effect, {{kMidiEventType, 0x90, 72, 90}, {kMidiEventType, 0xE0, 0x7F, 0x7F}});
  renderChecked(effect, 512);
  std::vector<EventSpec> offs;
  for (const EventSpec& note : notes) offs.push_back({kMidiEventType, 0x80, note.data1, 0});
  offs.push_back({kMidiEventType, 0x80, 72, 0});
  sendEvents(effect, offs);
  renderChecked(effect, 2048);
  closeInstance(effect);
  return 0;
}
