// Event blocks of any shape through opcode 25 (counts that are 0, negative
// or smaller than the list, events of every type, every status and data
// byte, null entries), mixed with parameter changes, sample-rate changes and
// audio blocks of every size.
//
// Input: commands, each a byte whose value modulo 5 picks
//   0 an event block: a byte (bits 0-3 events, bits 4-7 how the count is
//     declared), then per event a type byte and the status and data bytes;
//   1 an audio block: two bytes of frame count (top bit: negative);
//   2 a parameter: an index byte and a float;
//   3 a sample rate: a float;
//   4 processing on or off: a byte.
#include <climits>

#include "tests/fuzz/fuzz_support.h"

using namespace fuzzhost;

namespace {

constexpr int kMaxCommands = 96;
constexpr int64_t kMaxFramesPerInput = 1 << 16;

int32_t declaredCount(uint8_t mode, int32_t listed) {
  switch (mode) {
    case 12:
      return 0;
    case 13:
      return -listed;
    case 14:
      return INT32_MIN;
    case 15:
      return listed / 2;
    default:
      return listed;
  }
}

EventSpec readEvent(ByteReader& input) {
  EventSpec event;
  const uint8_t type = input.byte();
  // Mostly MIDI events; the top values give other event types and null
  // entries in the list.
  if (type == 0xDF) event.null = true;
  event.type = type < 0xE0 ? kMidiEventType : type & 0x1F;
  event.status = input.byte();
  event.data1 = input.byte();
  event.data2 = input.byte();
  return event;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  EffectRecord* effect = openInstance(demoRomDirectory());
  int64_t framesLeft = kMaxFramesPerInput;

  for (int command = 0; command < kMaxCommands && !input.empty(); ++command) {
    switch (input.byte() % 5) {
      case 0: {
        const uint8_t header = input.byte();
        std::vector<EventSpec> events;
        for (int i = 0; i < (header & 15); ++i) events.push_back(readEvent(input));
        const int32_t count = declaredCount(header >> 4, static_cast<int32_t>(events.size()));
        require(sendEvents(effect, events, count) == 1, "an event block is answered with 1");
        break;
      }
      case 1: {
        const uint16_t bits = input.u16();
        int32_t frames = (bits & 0x8000) != 0 ? -static_cast<int32_t>(bits & 0xFF) : bits % 4097;
        if (frames > framesLeft) frames = static_cast<int32_t>(framesLeft);
        if (frames > 0) framesLeft -= frames;
        renderChecked(effect, frames);
        break;
      }
      case 2: {
        const int32_t index = input.byte() % 4;
        effect->setParameter(effect, index, input.f32());
        break;
      }
      case 3:
        effect->dispatcher(effect, EffectOpcode::setSampleRate, 0, 0, nullptr, input.f32());
        break;
      default:
        effect->dispatcher(effect, EffectOpcode::processingOnOff, 0, input.byte() & 1, nullptr, 0.0f);
        break;
    }
  }
  renderChecked(effect, 1024);
  closeInstance(effect);
  return 0;
}
