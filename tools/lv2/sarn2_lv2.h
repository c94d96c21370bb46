// The instrument as an LV2 plug-in: an atom port of MIDI events, one audio
// output and three control ports with the meaning of the instrument's three
// parameters, and its 20-byte chunk as the saved state.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "instrument/engine/engine.h"
#include "tools/lv2/atom_midi_events.h"
#include "tools/lv2/lv2_uris.h"

namespace sarn2lv2 {

class Sarn2Lv2 {
 public:
  Sarn2Lv2(double sampleRate, const LV2_URID_Map& map, const std::string& romDirectory);

  void connectPort(uint32_t port, void* data);
  void run(uint32_t frames);
  LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

 private:
  static constexpr int kControlPorts = 3;
  static constexpr uint32_t kScratchFrames = 256;

  void followControlPorts();
  void applyControl(int control, float value);
  void render(uint32_t from, uint32_t to);

  sarn2::Engine engine;
  double rate;
  AtomMidiTypes types;
  LV2_URID chunkProperty;
  LV2_URID chunkType;

  const LV2_Atom_Sequence* midiIn = nullptr;
  float* audioOut = nullptr;
  std::array<const float*, kControlPorts> controls{};

  // A control port acts when its value changes, so that a restored state
  // keeps what it restored until the host moves a port. The bit pattern of
  // the value last taken stands for it (NaN included); a port not yet seen
  // acts on its first value.
  std::array<uint32_t, kControlPorts> takenBits{};
  std::array<bool, kControlPorts> taken{};
  // Set by restore: the next cycle takes the ports' values as they are
  // without applying them.
  std::atomic<bool> adoptPortValues{false};

  // Audio goes here while the host has not connected the output, so that
  // time still passes for the voices.
  std::array<float, kScratchFrames> scratch{};
};

}  // namespace sarn2lv2
