// Any opcode with any index, value and opt through the dispatcher entry,
// ptr always a large zeroed buffer (and value too where an opcode takes it
// as an address), mixed with parameter changes, MIDI and audio blocks.
// Close (opcode 1) comes only at the end. Opcodes the dispatcher does not
// handle must answer 0 and leave the buffer alone; a few answers are fixed
// whatever the arguments.
//
// Input: commands, each a byte whose value modulo 8 picks
//   0-4 a dispatcher call: an opcode byte (0-79 as is, higher values pick
//       opcodes out of range or take four more bytes), index, value, opt;
//   5   a parameter: index, value;
//   6   a MIDI message: status and two data bytes;
//   7   an audio block: two bytes of frame count (top bit: negative).
#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "tests/fuzz/fuzz_support.h"

using namespace fuzzhost;

namespace {

constexpr int kMaxCommands = 128;
constexpr size_t kBufferBytes = 16384;
alignas(16) uint8_t buffer[kBufferBytes];
alignas(16) uint8_t valueBuffer[kBufferBytes];

constexpr int32_t kOutOfRange[] = {-1,  80,  1000, INT32_MIN, INT32_MAX,    -25, 81,
                                   127, 128, 255,  256,       0x10000 + 25, -80, 0x7FFFFF00};

// Opcodes inside 0..79 that the dispatcher leaves unanswered.
constexpr int32_t kUnlisted[] = {9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57};

bool unhandled(int32_t opcode) {
  return opcode < 0 || opcode > 79 ||
         std::find(std::begin(kUnlisted), std::end(kUnlisted), opcode) != std::end(kUnlisted);
}

bool isEditorOpcode(int32_t opcode) {
  return opcode == 13 || opcode == 14 || opcode == 15 || opcode == 19 || opcode == 59 || opcode == 60 ||
         opcode == 61;
}

int32_t readOpcode(ByteReader& input) {
  const uint8_t selector = input.byte();
  int32_t opcode;
  if (selector < 80) {
    opcode = selector;
  } else if (selector < 80 + sizeof(kOutOfRange) / sizeof(kOutOfRange[0])) {
    opcode = kOutOfRange[selector - 80];
  } else {
    opcode = input.i32();
  }
  return opcode == EffectOpcode::close ? EffectOpcode::open : opcode;
}

bool allZero(const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

void dispatchOne(EffectRecord* effect, ByteReader& input) {
  const int32_t opcode = readOpcode(input);
  const int32_t index = input.i32();
  intptr_t value = input.i32();
  const float opt = input.f32();
  // These two take value as the address of an arrangement pointer.
  if (opcode == EffectOpcode::setSpeakerArrangement || opcode == EffectOpcode::getSpeakerArrangement)
    value = reinterpret_cast<intptr_t>(valueBuffer);
  std::memset(buffer, 0, sizeof(buffer));
  std::memset(valueBuffer, 0, sizeof(valueBuffer));

  const intptr_t answer = effect->dispatcher(effect, opcode, index, value, buffer, opt);

  if (unhandled(opcode) || isEditorOpcode(opcode)) {
    require(answer == 0, "unhandled and editor opcodes answer 0");
    require(allZero(buffer, sizeof(buffer)), "unhandled and editor opcodes leave the buffer alone");
  }
  if (opcode == EffectOpcode::identify) require(answer == kIdentifyAnswer, "opcode 22 answers NvEf");
  if (opcode == EffectOpcode::getInterfaceVersion) require(answer == 2400, "opcode 58 answers 2400");
  if (opcode == EffectOpcode::getCategory) require(answer == 2, "opcode 35 answers 2");
  if (opcode == EffectOpcode::getVendorVersion) require(answer == 1000, "opcode 49 answers 1000");
  if (opcode == EffectOpcode::getCurrentMidiProgram) require(answer == -1, "opcode 63 answers -1");
  if (opcode == EffectOpcode::setTotalSampleCount) require(answer == value, "opcode 73 answers its value");
  if (opcode == EffectOpcode::canDo) require(answer == 0, "opcode 51 answers 0");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  EffectRecord* effect = openInstance(demoRomDirectory());
  for (int command = 0; command < kMaxCommands && !input.empty(); ++command) {
    const uint8_t kind = input.byte() % 8;
    if (kind <= 4) {
      dispatchOne(effect, input);
    } else if (kind == 5) {
      const int32_t index = input.i32();
      const float value = input.f32();
      effect->setParameter(effect, index, value);
      if (index < 0 || index > 2)
        require(effect->getParameter(effect, index) == 0.0f, "unknown parameters read 0");
    } else if (kind == 6) {
      const uint8_t status = input.byte();
      const uint8_t data1 = input.byte();
      sendEvents(effect, {{kMidiEventType, status, data1, input.byte()}});
    } else {
      const uint16_t bits = input.u16();
      renderChecked(effect, (bits & 0x8000) != 0 ? -static_cast<int32_t>(bits & 0xFF) : bits % 2049);
    }
  }
  renderChecked(effect, 1024);
  closeInstance(effect);
  return 0;
}
