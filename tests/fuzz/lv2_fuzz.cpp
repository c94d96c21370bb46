// The LV2 plug-in's run() under any atom sequence a host could hand it
// (wrong types, sizes that run past the end, every event type, time unit and
// frame time), any control port values and restored states of any size and
// type. Every cycle's output must be finite, within [-1, 1], and exactly as
// long as the cycle.
//
// Input: cycles, each a mode byte, then
//   a frame count (two bytes, up to 2048);
//   if bit 0: the three control port values (floats, raw bits);
//   if bit 1: a restore: a byte choosing the type (0 the chunk's own),
//     a byte giving the size, and that many bytes (at most 32);
//   if bit 2: a byte choosing the sequence's atom type (0 a sequence);
//   then two bytes of length and that many bytes (at most 4096) as the
//   sequence body: its header (unit, pad) and its events.
// The host maps URIs to small numbers: 1 sequence, 2 MIDI event, 3 frame
// time, 4 the chunk property, 5 the chunk type.
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tools/lv2/sarn2_lv2.h"

using namespace fuzzhost;

namespace {

constexpr int kMaxCycles = 48;
constexpr uint32_t kMaxFrames = 2048;
constexpr uint32_t kMaxSequenceBody = 4096;

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
  static const std::array<std::string, 5> known = {LV2_ATOM__Sequence, LV2_MIDI__MidiEvent,
                                                   LV2_ATOM__frameTime, sarn2lv2::kChunkPropertyUri,
                                                   sarn2lv2::kChunkTypeUri};
  for (size_t i = 0; i < known.size(); ++i)
    if (known[i] == uri) return static_cast<LV2_URID>(i + 1);
  return 100;
}

struct Retrieved {
  uint32_t type;
  std::vector<uint8_t> value;
};

const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
  auto* r = static_cast<Retrieved*>(handle);
  if (key != 4) return nullptr;
  *size = r->value.size();
  *type = r->type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return r->value.empty() ? nullptr : r->value.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  LV2_URID_Map map{nullptr, &mapUri};
  auto plugin = std::make_unique<sarn2lv2::Sarn2Lv2>(48000.0, map, demoRomDirectory());
  std::array<float, 3> controls{1.0f, 0.5f, 1.0f};
  for (uint32_t i = 0; i < 3; ++i) plugin->connectPort(sarn2lv2::presetPort + i, &controls[i]);
  std::vector<uint64_t> sequence((sizeof(LV2_Atom) + kMaxSequenceBody) / 8 + 1);
  std::vector<float> output(kMaxFrames + 1);

  for (int cycle = 0; cycle < kMaxCycles && !input.empty(); ++cycle) {
    const uint8_t mode = input.byte();
    const uint32_t frames = input.u16() % (kMaxFrames + 1);
    if (mode & 1)
      for (float& c : controls) c = input.f32();
    if (mode & 2) {
      Retrieved state;
      state.type = input.byte() == 0 ? 5 : 100;
      const size_t bytes = std::min<size_t>(input.byte() % 33, input.remaining());
      state.value.assign(input.current(), input.current() + bytes);
      for (size_t i = 0; i < bytes; ++i) input.byte();
      plugin->restore(&retrieve, &state);
    }
    const bool otherType = (mode & 4) && input.byte() != 0;
    const size_t length = std::min<size_t>(input.u16() % (kMaxSequenceBody + 1), input.remaining());
    auto* atom = reinterpret_cast<LV2_Atom*>(sequence.data());
    atom->type = otherType ? 100 : 1;
    atom->size = static_cast<uint32_t>(length);
    std::memcpy(reinterpret_cast<uint8_t*>(sequence.data()) + sizeof(LV2_Atom), input.current(), length);
    for (size_t i = 0; i < length; ++i) input.byte();
    plugin->connectPort(sarn2lv2::midiInPort, mode & 8 ? nullptr : sequence.data());

    std::fill(output.begin(), output.end(), -3.0f);
    plugin->connectPort(sarn2lv2::audioOutPort, mode & 16 ? nullptr : output.data());
    plugin->run(frames);
    if (mode & 16) continue;
    for (uint32_t i = 0; i < frames; ++i)
      require(std::isfinite(output[i]) && output[i] >= -1.0f && output[i] <= 1.0f,
              "every sample finite and within [-1, 1]");
    require(output[frames] == -3.0f, "nothing written past the cycle");
  }
  return 0;
}
