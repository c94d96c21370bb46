// A small LV2 host on lilv for tests: loads the built bundle, runs one
// instance cycle by cycle with MIDI in an atom sequence built here (well or
// badly formed), and saves and restores its state through lilv and through
// the state interface directly.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/lv2/lv2_uris.h"

namespace lv2host {

// The host's URID map and unmap: URIs numbered from 1 in order of asking.
class UridMap {
 public:
  UridMap();
  LV2_URID map(const char* uri);
  const char* unmap(LV2_URID urid) const;
  LV2_URID_Map* mapFeature() { return &mapData; }
  LV2_URID_Unmap* unmapFeature() { return &unmapData; }
  const LV2_Feature* const* features() const { return featureList.data(); }

 private:
  std::vector<std::string> uris;
  LV2_URID_Map mapData;
  LV2_URID_Unmap unmapData;
  LV2_Feature mapFeature_;
  LV2_Feature unmapFeature_;
  std::array<const LV2_Feature*, 3> featureList{};
};

// The lilv world with the LV2 specifications and the built bundle loaded.
class World {
 public:
  World();
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  LilvWorld* get() const { return world; }
  // The plug-in of the built bundle, or null.
  const LilvPlugin* plugin() const;

 private:
  LilvWorld* world;
};

// An atom sequence in an 8-byte aligned buffer, timed in audio frames.
class AtomSequence {
 public:
  AtomSequence(UridMap& uris, uint32_t capacity = 16384);
  void clear();
  void add(int64_t frame, LV2_URID type, const std::vector<uint8_t>& body);
  void addMidi(int64_t frame, const std::vector<uint8_t>& bytes);
  LV2_Atom_Sequence* get() { return reinterpret_cast<LV2_Atom_Sequence*>(storage.data()); }

 private:
  std::vector<uint64_t> storage;
  LV2_URID sequenceType;
  LV2_URID midiType;
};

// What the state interface handed to the host's store function.
struct StoredProperty {
  std::string key;
  std::string type;
  std::vector<uint8_t> value;
  uint32_t flags = 0;
};

// One instance, with every port connected to buffers of its own. The
// control ports start at their defaults: Preset 1, Release 0.5, Filter 1.
class Instance {
 public:
  Instance(const World& world, UridMap& uris, double sampleRate);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
  bool loaded() const { return instance != nullptr; }

  float& control(sarn2lv2::Port port) { return controls[port - sarn2lv2::presetPort]; }
  AtomSequence& midi() { return sequence; }
  // Runs one cycle with the sequence as it is, then empties it; returns
  // the cycle's output.
  std::vector<float> run(uint32_t frames);

  // The state interface called directly.
  std::vector<StoredProperty> save();
  LV2_State_Status restore(const std::vector<uint8_t>& value, const char* typeUri,
                           const char* keyUri = sarn2lv2::kChunkPropertyUri);
  std::vector<uint8_t> chunk();  // the one saved property's value

  // Through lilv, as a host keeps a session: the state with the control
  // port values, as Turtle text, and back.
  std::string stateText();
  bool restoreText(const std::string& text);

  LilvInstance* get() const { return instance; }

 private:
  const World& world;
  UridMap& uris;
  LilvInstance* instance = nullptr;
  std::array<float, 3> controls{1.0f, 0.5f, 1.0f};
  AtomSequence sequence;
  std::vector<float> output;
};

}  // namespace lv2host
