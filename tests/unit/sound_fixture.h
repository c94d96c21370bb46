// An instrument built over a ROM set written to a temporary directory, with
// the small host-side helpers the sound tests share: rendering into a
// buffer and sending MIDI as one event block.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/host/midi_block.h"
#include "tools/romset/romset.h"

namespace soundtest {

using sarn2::Sarn2VST;

using pluginhost::Midi;

using EventList = pluginhost::MidiBlock;

class Instrument {
 public:
  explicit Instrument(const romset::RomSet& set) {
    set.write(dir.path());
    vst = std::make_unique<Sarn2VST>(nullptr, dir.path());
  }
  // Every ROM file missing.
  Instrument() : vst(std::make_unique<Sarn2VST>(nullptr, dir.path())) {}

  Sarn2VST* operator->() { return vst.get(); }
  Sarn2VST& operator*() { return *vst; }

  std::vector<float> render(int32_t frames) {
    std::vector<float> output(static_cast<size_t>(frames > 0 ? frames : 0));
    float* outputs[1] = {output.data()};
    vst->renderBlock(nullptr, outputs, frames);
    return output;
  }
  float renderOne() { return render(1)[0]; }

  intptr_t midi(const std::vector<Midi>& messages) {
    EventList list(messages);
    return vst->processEvents(list.block());
  }

  std::vector<uint8_t> chunk() {
    void* data = nullptr;
    const int32_t size = vst->getChunk(&data, false);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
  }
  int32_t setChunk(std::vector<uint8_t> bytes) {
    return vst->setChunk(bytes.data(), static_cast<intptr_t>(bytes.size()), false);
  }

 private:
  testhost::TempDir dir;
  std::unique_ptr<Sarn2VST> vst;
};

// A 20-byte state chunk from its fields.
inline std::vector<uint8_t> makeChunk(int32_t preset, float release, float pitchBend, int32_t filter,
                                      float reserved = 0.0f) {
  std::vector<uint8_t> bytes(20);
  std::memcpy(bytes.data() + 0, &preset, 4);
  std::memcpy(bytes.data() + 4, &release, 4);
  std::memcpy(bytes.data() + 8, &reserved, 4);
  std::memcpy(bytes.data() + 12, &pitchBend, 4);
  std::memcpy(bytes.data() + 16, &filter, 4);
  return bytes;
}

// Full-size zero files with preset 0 set to one oscillator, no filter
// codes: every test then sets only what it looks at.
inline romset::RomSet plainRomSet() {
  romset::RomSet set = romset::RomSet::blank();
  for (int p = 0; p < romset::kPresetCount; ++p)
    set.setPreset(p, romset::PresetRecord{}.control(0, 0, 0, false));
  return set;
}

// A pitch table of 2048 entries, all zero except the given entries.
inline std::vector<uint16_t> pitchTableWith(const std::vector<std::pair<int, uint16_t>>& entries) {
  std::vector<uint16_t> table(romset::kTablePairs, 0);
  for (const auto& [index, value] : entries) table[static_cast<size_t>(index)] = value;
  return table;
}

// The pitch-table index a note reads (for notes 24 to 112).
constexpr int pitchIndexOf(int note) { return 627 + 16 * (note - 24); }

}  // namespace soundtest
