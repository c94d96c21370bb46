// The LV2 plug-in as a host drives it through lilv: the same sound as the
// other library for the same events at the same frames, state saved and
// restored, and hostile port values and atoms survived.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "frame/plugin_interface.h"
#include "tests/lv2/lv2_host.h"
#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

namespace {

using lv2host::Instance;
using lv2host::UridMap;
using lv2host::World;
using namespace sarn2lv2;

struct TimedMidi {
  int64_t frame;  // from the start of the session
  std::vector<uint8_t> bytes;
};

struct PortMove {
  uint32_t cycle;  // takes effect at this cycle's start
  Port port;
  float value;
};

struct Session {
  const char* name;
  double rate;
  uint32_t cycle;
  uint32_t cycles;
  std::vector<TimedMidi> events;
  std::vector<PortMove> moves;
};

std::vector<float> renderLv2(const World& world, const Session& s) {
  UridMap uris;
  Instance plugin(world, uris, s.rate);
  EXPECT_TRUE(plugin.loaded());
  std::vector<float> out;
  for (uint32_t c = 0; c < s.cycles; ++c) {
    for (const PortMove& m : s.moves)
      if (m.cycle == c) plugin.control(m.port) = m.value;
    const int64_t start = int64_t{c} * s.cycle;
    for (const TimedMidi& e : s.events)
      if (e.frame >= start && e.frame < start + s.cycle) plugin.midi().addMidi(e.frame - start, e.bytes);
    const std::vector<float> block = plugin.run(s.cycle);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

// The other library, with each event sent between two blocks split at its
// frame and the ports' moves made as parameter changes.
std::vector<float> renderLibrary(const Session& s) {
  testhost::PluginLibrary library;
  testhost::Instance vst(library);
  vst.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, static_cast<float>(s.rate));
  std::vector<float> out;
  auto play = [&](int32_t frames) {
    const std::vector<float> block = vst.render(frames);
    out.insert(out.end(), block.begin(), block.end());
  };
  for (uint32_t c = 0; c < s.cycles; ++c) {
    for (const PortMove& m : s.moves) {
      if (m.cycle != c) continue;
      if (m.port == presetPort) vst.setParameter(0, static_cast<float>((m.value - 1.0) / 31.0));
      if (m.port == releasePort) vst.setParameter(1, m.value);
      if (m.port == filterPort) vst.setParameter(2, m.value);
    }
    const int64_t start = int64_t{c} * s.cycle;
    int64_t position = start;
    for (const TimedMidi& e : s.events) {
      if (e.frame < start || e.frame >= start + s.cycle) continue;
      if (e.frame > position) play(static_cast<int32_t>(e.frame - position));
      position = e.frame;
      std::array<uint8_t, 3> message{};
      for (size_t i = 0; i < 3 && i < e.bytes.size(); ++i) message[i] = e.bytes[i];
      vst.sendMidi({message});
    }
    play(static_cast<int32_t>(start + s.cycle - position));
  }
  return out;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
  return std::min(a.size(), b.size());
}

int firstSound(const std::vector<float>& samples) {
  for (size_t i = 0; i < samples.size(); ++i)
    if (samples[i] != 0.0f) return static_cast<int>(i);
  return -1;
}

void expectFiniteInRange(const std::vector<float>& samples, const std::string& what) {
  for (size_t i = 0; i < samples.size(); ++i) {
    ASSERT_TRUE(std::isfinite(samples[i]) && samples[i] >= -1.0f && samples[i] <= 1.0f)
        << what << ": sample " << i << " is " << samples[i];
  }
}

class Lv2Plugin : public ::testing::Test {
 protected:
  testhost::PlatformRoms roms{romset::demoRomSet()};
  World world;
};

TEST_F(Lv2Plugin, SoundsLikeTheOtherLibraryWithEventsOnTheirFrames) {
  const std::vector<Session> sessions = {
      {"chord across cycle boundaries",
       44100.0,
       256,
       40,
       {{0, {0x90, 60, 100}},
        {1, {0x90, 64, 90}},
        {255, {0x91, 67, 80}},
        {256, {0x90, 72, 70}},
        {257, {0x80, 60, 0}},
        {3001, {0x90, 64, 0}},
        {5000, {0x80, 67, 0}},
        {5000, {0x80, 72, 0}},
        {6100, {0x90, 48, 127}}},
       {}},
      {"bend and program changes inside cycles, short messages",
       48000.0,
       64,
       200,
       {{10, {0x90, 57, 100}},
        {100, {0xE0, 0x00, 0x50}},
        {1500, {0xC0, 5}},
        {1500, {0x90, 69, 100}},
        {4003, {0xE3, 0x7F, 0x7F}},
        {7000, {0xC2, 44}},
        {7001, {0x90, 45, 100}},
        {9000, {0x80, 57, 0}},
        {9100, {0xF8}}},
       {}},
      {"ports moved between cycles",
       96000.0,
       1024,
       24,
       {{0, {0x90, 62, 100}}, {5000, {0x90, 74, 100}}, {9000, {0x80, 62, 0}}, {15000, {0x80, 74, 0}}},
       {{2, presetPort, 7.0f},
        {4, filterPort, 0.0f},
        {6, releasePort, 0.1f},
        {8, filterPort, 1.0f},
        {10, presetPort, 32.0f},
        {14, releasePort, 0.9f}}},
      {"nine notes steal voices at 22050", 22050.0, 300, 20, {}, {{1, presetPort, 20.0f}}},
  };
  for (const Session& s : sessions) {
    Session session = s;
    if (session.events.empty())
      for (int n = 0; n < 9; ++n) session.events.push_back({37 + 211 * n, {0x90, uint8_t(50 + 3 * n), 100}});
    const std::vector<float> lv2 = renderLv2(world, session);
    const std::vector<float> library = renderLibrary(session);
    EXPECT_TRUE(sameBits(lv2, library))
        << session.name << ": first difference at sample " << firstDifference(lv2, library);
    EXPECT_NE(firstSound(lv2), -1) << session.name << " is silent";
  }
}

TEST_F(Lv2Plugin, ANoteSoundsFromItsOwnFrame) {
  for (const int64_t frame : {0, 1, 99, 127}) {
    const Session s{"one note", 44100.0, 128, 2, {{frame, {0x90, 69, 100}}}, {}};
    EXPECT_EQ(firstSound(renderLv2(world, s)), frame);
  }
}

TEST_F(Lv2Plugin, PresetPortRoundsToTheNearestPresetWithinRange) {
  const std::vector<std::pair<float, int32_t>> cases = {{1.0f, 0},   {2.0f, 1},   {2.49f, 1}, {2.5f, 2},
                                                        {32.0f, 31}, {40.0f, 31}, {0.0f, 0},  {-7.0f, 0},
                                                        {1e30f, 31}, {-1e30f, 0}};
  for (const auto& [value, preset] : cases) {
    UridMap uris;
    Instance plugin(world, uris, 44100.0);
    plugin.control(presetPort) = value;
    plugin.run(16);
    int32_t stored = -1;
    std::memcpy(&stored, plugin.chunk().data(), sizeof(stored));
    EXPECT_EQ(stored, preset) << "port value " << value;
  }
}

// The 20 bytes a fresh instance of the other library saves, and the same
// after a preset, release, bend and filter change made the same way.
TEST_F(Lv2Plugin, SavesTheSameChunkAsTheOtherLibrary) {
  UridMap uris;
  Instance plugin(world, uris, 44100.0);
  plugin.run(8);
  testhost::PluginLibrary library;
  testhost::Instance vst(library);
  const std::vector<lv2host::StoredProperty> fresh = plugin.save();
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(fresh[0].key, kChunkPropertyUri);
  EXPECT_EQ(fresh[0].type, kChunkTypeUri);
  EXPECT_EQ(fresh[0].flags, uint32_t{LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE});
  EXPECT_EQ(fresh[0].value, vst.chunk());

  plugin.control(presetPort) = 13.0f;
  plugin.control(releasePort) = 0.25f;
  plugin.control(filterPort) = 0.0f;
  plugin.midi().addMidi(3, {0xE0, 0x00, 0x60});
  plugin.run(8);
  vst.setParameter(0, 12.0f / 31.0f);
  vst.setParameter(1, 0.25f);
  vst.setParameter(2, 0.0f);
  vst.sendMidi({{0xE0, 0x00, 0x60}});
  EXPECT_EQ(plugin.chunk(), vst.chunk());
}

std::vector<uint8_t> chunkOf(int32_t preset, float release, float reserved, float bend, int32_t filter) {
  std::vector<uint8_t> bytes(20);
  std::memcpy(&bytes[0], &preset, 4);
  std::memcpy(&bytes[4], &release, 4);
  std::memcpy(&bytes[8], &reserved, 4);
  std::memcpy(&bytes[12], &bend, 4);
  std::memcpy(&bytes[16], &filter, 4);
  return bytes;
}

// A restore while a note sounds: the preset applied and the envelope
// rebuilt as the other library's chunk load does, the ports left alone
// until the host moves one.
TEST_F(Lv2Plugin, RestoreActsLikeAChunkLoadAndPortsActOnlyWhenMoved) {
  const std::vector<uint8_t> restored = chunkOf(21, 0.75f, 3.5f, 0.25f, 1);
  UridMap uris;
  Instance plugin(world, uris, 44100.0);
  testhost::PluginLibrary library;
  testhost::Instance vst(library);
  std::vector<float> lv2, other;
  auto append = [](std::vector<float>& to, const std::vector<float>& block) {
    to.insert(to.end(), block.begin(), block.end());
  };

  plugin.midi().addMidi(0, {0x90, 60, 100});
  append(lv2, plugin.run(700));
  vst.sendMidi({{0x90, 60, 100}});
  append(other, vst.render(700));

  ASSERT_EQ(plugin.restore(restored, kChunkTypeUri), LV2_STATE_SUCCESS);
  ASSERT_EQ(vst.setChunk(restored), 1);
  for (int i = 0; i < 3; ++i) {
    append(lv2, plugin.run(500));
    append(other, vst.render(500));
  }
  EXPECT_TRUE(sameBits(lv2, other)) << "first difference at " << firstDifference(lv2, other);
  EXPECT_EQ(plugin.chunk(), restored);

  plugin.control(presetPort) = 3.0f;
  plugin.run(10);
  std::vector<uint8_t> moved = restored;
  moved[0] = 2;
  EXPECT_EQ(plugin.chunk(), moved);
}

TEST_F(Lv2Plugin, RefusesAStateOfTheWrongTypeSizeOrKeyAndKeepsItsOwn) {
  UridMap uris;
  Instance plugin(world, uris, 44100.0);
  plugin.control(presetPort) = 9.0f;
  plugin.run(8);
  const std::vector<uint8_t> before = plugin.chunk();
  const std::vector<uint8_t> good = chunkOf(4, 0.1f, 0.0f, 0.0f, 0);
  std::vector<uint8_t> shorter(good.begin(), good.end() - 1), longer = good;
  longer.push_back(0);
  EXPECT_EQ(plugin.restore(good, LV2_ATOM__Chunk), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(plugin.restore(shorter, kChunkTypeUri), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(plugin.restore(longer, kChunkTypeUri), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(plugin.restore(good, kChunkTypeUri, "urn:sarn2-test:other"), LV2_STATE_ERR_NO_PROPERTY);
  plugin.run(8);
  EXPECT_EQ(plugin.chunk(), before);
  // Out-of-range presets are taken clamped, as the other library's chunk load does.
  EXPECT_EQ(plugin.restore(chunkOf(99, 0.1f, 0.0f, 0.0f, 2), kChunkTypeUri), LV2_STATE_SUCCESS);
  EXPECT_EQ(plugin.chunk(), chunkOf(31, 0.1f, 0.0f, 0.0f, 1));
}

// A session saved and loaded as a host does it, through lilv's Turtle text
// with the port values beside the chunk: the new instance plays on exactly
// as the old one would.
TEST_F(Lv2Plugin, StateRoundTripsThroughAHostSession) {
  UridMap uris;
  Instance first(world, uris, 48000.0);
  first.control(presetPort) = 30.0f;
  first.control(releasePort) = 0.3f;
  first.midi().addMidi(5, {0xE0, 0x10, 0x30});
  first.midi().addMidi(6, {0xC0, 17});  // the MIDI choice wins over the port's 30
  first.run(64);
  const std::vector<uint8_t> saved = first.chunk();
  const std::string text = first.stateText();
  ASSERT_NE(text.find(kChunkPropertyUri), std::string::npos) << text;

  Instance second(world, uris, 48000.0);
  second.run(64);
  ASSERT_TRUE(second.restoreText(text));
  EXPECT_EQ(second.control(presetPort), 30.0f);
  EXPECT_EQ(second.control(releasePort), 0.3f);
  EXPECT_EQ(second.chunk(), saved);
  int32_t preset = -1;
  std::memcpy(&preset, saved.data(), 4);
  EXPECT_EQ(preset, 17);

  std::vector<float> a, b;
  for (int i = 0; i < 20; ++i) {
    if (i == 1) {
      first.midi().addMidi(33, {0x90, 66, 100});
      second.midi().addMidi(33, {0x90, 66, 100});
    }
    const std::vector<float> x = first.run(128), y = second.run(128);
    a.insert(a.end(), x.begin(), x.end());
    b.insert(b.end(), y.begin(), y.end());
  }
  EXPECT_TRUE(sameBits(a, b)) << "first difference at " << firstDifference(a, b);
  EXPECT_NE(firstSound(b), -1);
  EXPECT_EQ(second.chunk(), saved);
}

TEST_F(Lv2Plugin, HostilePortValuesKeepTheOutputFiniteAndInRange) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> values = {nan, inf, -inf, -1.0f, -1e30f, 1e30f, 3e38f, 0.0f, 33.0f, 1e-45f};
  for (const Port port : {presetPort, releasePort, filterPort}) {
    for (const float value : values) {
      UridMap uris;
      Instance plugin(world, uris, 44100.0);
      std::vector<float> out;
      for (int c = 0; c < 30; ++c) {
        if (c == 0)
          for (int n = 0; n < 8; ++n) plugin.midi().addMidi(n, {0x90, uint8_t(40 + 7 * n), 127});
        if (c == 2) plugin.control(port) = value;
        if (c == 10)
          for (int n = 0; n < 8; ++n) plugin.midi().addMidi(n, {0x80, uint8_t(40 + 7 * n), 0});
        if (c == 20) plugin.midi().addMidi(0, {0x90, 52, 127});
        const std::vector<float> block = plugin.run(512);
        out.insert(out.end(), block.begin(), block.end());
      }
      expectFiniteInRange(out, "port " + std::to_string(port) + " = " + std::to_string(value));
      // After the last note-on the instrument still sounds, whatever the port said.
      EXPECT_NE(firstSound({out.begin() + 20 * 512, out.end()}), -1)
          << "port " << port << " = " << value << " silenced the instrument";
    }
  }
}

// Sequences a careless or hostile host might send. Each comes with where
// the note (note-on 69 at frame 10, sent before the damage) must be heard:
// from frame 10, or not at all in the first cycle.
TEST_F(Lv2Plugin, MalformedAtomsAreSurvived) {
  UridMap uris;
  const LV2_URID midiType = uris.map(LV2_MIDI__MidiEvent);
  const LV2_URID floatType = uris.map(LV2_ATOM__Float);
  struct Damage {
    const char* name;
    void (*apply)(LV2_Atom_Sequence&, lv2host::AtomSequence&, LV2_URID, LV2_URID);
    int heardFrom;  // in the first cycle of 256
  };
  const std::vector<Damage> damages = {
      {"sequence of another type", [](LV2_Atom_Sequence& s, auto&, LV2_URID, LV2_URID f) { s.atom.type = f; },
       -1},
      {"sequence shorter than its header",
       [](LV2_Atom_Sequence& s, auto&, LV2_URID, LV2_URID) { s.atom.size = 4; }, -1},
      {"event header cut off",
       [](LV2_Atom_Sequence& s, auto&, LV2_URID, LV2_URID) { s.atom.size = sizeof(s.body) + 8; }, -1},
      {"body larger than the sequence",
       [](LV2_Atom_Sequence& s, auto& q, LV2_URID m, LV2_URID) {
         q.add(20, m, {0x90, 70, 100});
         auto* last =
             reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<uint8_t*>(&s.body) + s.atom.size - 24);
         last->body.size = 0xFFFFFFF0u;
       },
       10},
      {"unknown event types and empty events",
       [](LV2_Atom_Sequence&, auto& q, LV2_URID m, LV2_URID f) {
         q.add(11, f, {0, 0, 0x80, 0x3F});
         q.add(12, 999, {0x90, 10, 10});
         q.add(13, m, {});
       },
       10},
      {"short and long MIDI",
       [](LV2_Atom_Sequence&, auto& q, LV2_URID m, LV2_URID) {
         q.add(14, m, {0x90});
         q.add(15, m, {0x90, 71});
         q.add(16, m, std::vector<uint8_t>(300, 0xF0));
       },
       10},
      {"events past the cycle, before it and out of order",
       [](LV2_Atom_Sequence&, auto& q, LV2_URID m, LV2_URID) {
         q.add(std::numeric_limits<int64_t>::max(), m, {0x90, 80, 100});
         q.add(5, m, {0x90, 81, 100});
         q.add(-40, m, {0x90, 82, 100});
         q.add(std::numeric_limits<int64_t>::min(), m, {0x90, 83, 100});
         q.add(300, m, {0x90, 84, 100});
       },
       10},
      {"times in beats", [](LV2_Atom_Sequence& s, auto&, LV2_URID, LV2_URID f) { s.body.unit = f; }, 0},
  };
  for (const Damage& d : damages) {
    Instance plugin(world, uris, 44100.0);
    plugin.midi().add(10, midiType, {0x90, 69, 100});
    d.apply(*plugin.midi().get(), plugin.midi(), midiType, floatType);
    std::vector<float> out = plugin.run(256);
    EXPECT_EQ(firstSound(out), d.heardFrom) << d.name;
    for (int c = 0; c < 10; ++c) {
      plugin.midi().addMidi(0, {0x90, uint8_t(60 + c), 100});
      const std::vector<float> block = plugin.run(256);
      out.insert(out.end(), block.begin(), block.end());
    }
    expectFiniteInRange(out, d.name);
    EXPECT_NE(firstSound({out.begin() + 256, out.end()}), -1) << d.name << ": later notes silent";
  }
}

TEST_F(Lv2Plugin, AnUnconnectedOutputStillLetsTimePass) {
  UridMap uris;
  Instance a(world, uris, 44100.0), b(world, uris, 44100.0);
  a.midi().addMidi(0, {0x90, 60, 100});
  b.midi().addMidi(0, {0x90, 60, 100});
  a.run(1000);
  lilv_instance_connect_port(b.get(), audioOutPort, nullptr);
  lilv_instance_run(b.get(), 1000);
  b.midi().clear();
  EXPECT_TRUE(sameBits(a.run(300), b.run(300)));
}

TEST(Lv2PluginWithoutRoms, LoadsAndIsSilent) {
  testhost::PlatformRoms none;
  World world;
  UridMap uris;
  Instance plugin(world, uris, 44100.0);
  ASSERT_TRUE(plugin.loaded());
  plugin.midi().addMidi(0, {0x90, 60, 127});
  EXPECT_EQ(plugin.run(512), std::vector<float>(512, 0.0f));
}

TEST(Lv2PluginFeatures, RefusesToLoadWithoutTheUridMap) {
  World world;
  ASSERT_NE(world.plugin(), nullptr);
  const LV2_Feature* none[] = {nullptr};
  LilvInstance* instance = lilv_plugin_instantiate(world.plugin(), 44100.0, none);
  EXPECT_EQ(instance, nullptr);
  if (instance != nullptr) lilv_instance_free(instance);
}

}  // namespace
