// The optimised block renderer against the plain reference renderer: the
// same scenarios on two identical instances must give identical bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

#include "instrument/sarn2_vst.h"
#include "tests/reference/reference_model.h"
#include "tests/support/temp_rom_dir.h"
#include "tools/host/midi_block.h"
#include "tools/romset/romset.h"

using namespace sarn2;

namespace {

romset::RomSet randomRomSet(std::mt19937& random) {
  romset::RomSet set = romset::RomSet::blank();
  set.setPitchTable(romset::equalTemperedPitchTable());
  for (const char* name : {"DD13", "DD14", "DD18", "DD19", "DD16"}) {
    std::vector<uint8_t>& bytes = *set.file(name);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  }
  return set;
}

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

struct Pair {
  std::unique_ptr<Sarn2VST> fast;
  std::unique_ptr<Sarn2VST> plain;
  Pair(const std::string& directory)
      : fast(std::make_unique<Sarn2VST>(nullptr, directory)),
        plain(std::make_unique<Sarn2VST>(nullptr, directory)) {}

  template <typename Action>
  void both(Action action) {
    action(*fast);
    action(*plain);
  }

  // Renders one block both ways; returns the index of the first differing
  // sample, or -1.
  int render(int32_t frames) {
    std::vector<float> a(static_cast<size_t>(std::max(frames, 0)) + 1, 5.0f);
    std::vector<float> b(a);
    float* outputs[1] = {a.data()};
    fast->renderBlock(nullptr, outputs, frames);
    reference::renderBlock(*plain, b.data(), frames);
    for (size_t i = 0; i < a.size(); ++i)
      if (bitsOf(a[i]) != bitsOf(b[i])) return static_cast<int>(i);
    return -1;
  }

  bool sameState() const {
    for (size_t v = 0; v < 8; ++v) {
      if (fast->engine().voices()[v].state != plain->engine().voices()[v].state ||
          fast->engine().voices()[v].level != plain->engine().voices()[v].level)
        return false;
    }
    return fast->engine().phaseAccumulators() == plain->engine().phaseAccumulators() &&
           fast->engine().filterEnvelopePos() == plain->engine().filterEnvelopePos() &&
           std::memcmp(&fast->engine().filter(), &plain->engine().filter(), sizeof(ResonantFilter)) == 0;
  }
};

void sendMidi(Sarn2VST& s, uint8_t status, uint8_t d1, uint8_t d2) {
  pluginhost::MidiBlock block({{status, d1, d2}});
  s.processEvents(block.block());
}

}  // namespace

TEST(RendererEquivalence, RandomSessionsMatchTheReferenceBitForBit) {
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    std::mt19937 random(seed);
    testhost::TempDir dir;
    romset::RomSet set = randomRomSet(random);
    if (seed % 6 == 0) set.resize("DD19", 700);   // a short second wave part
    if (seed % 8 == 0) set.resize("DD16", 1500);  // preset table partly outside
    ASSERT_TRUE(set.write(dir.path()));
    Pair pair(dir.path());
    for (int step = 0; step < 160; ++step) {
      const int action = static_cast<int>(random() % 20);
      if (action < 6) {
        const uint8_t channel = static_cast<uint8_t>(random() % 16);
        const uint8_t kind = std::array<uint8_t, 4>{0x90, 0x80, 0xE0, 0xC0}[random() % 4];
        const uint8_t d1 = static_cast<uint8_t>(random() % 128), d2 = static_cast<uint8_t>(random() % 128);
        pair.both([&](Sarn2VST& s) { sendMidi(s, kind | channel, d1, d2); });
      } else if (action == 6) {
        const float value = static_cast<float>(random() % 1000) / 999.0f;
        const int32_t index = static_cast<int32_t>(random() % 3);
        pair.both([&](Sarn2VST& s) { s.setParameter(index, value); });
      } else if (action == 7) {
        uint8_t chunk[20] = {};
        const int32_t presetNumber = static_cast<int32_t>(random() % 40) - 4;
        const float releaseValue = static_cast<float>(random() % 100) / 100.0f;
        const float bend = static_cast<float>(static_cast<int>(random() % 200) - 100) / 100.0f;
        const int32_t filterSwitch = static_cast<int32_t>(random() % 3);
        std::memcpy(chunk, &presetNumber, 4);
        std::memcpy(chunk + 4, &releaseValue, 4);
        std::memcpy(chunk + 12, &bend, 4);
        std::memcpy(chunk + 16, &filterSwitch, 4);
        pair.both([&](Sarn2VST& s) { s.setChunk(chunk, 20, false); });
      } else if (action == 8) {
        const float rate = std::array<float, 4>{44100.0f, 48000.0f, 0.0f, 96000.0f}[random() % 4];
        pair.both([&](Sarn2VST& s) { s.setSampleRate(rate); });
      } else {
        const int32_t frames = static_cast<int32_t>(random() % 1400) - 10;
        const int differs = pair.render(frames);
        ASSERT_EQ(differs, -1) << "seed " << seed << " step " << step << " frames " << frames;
        ASSERT_TRUE(pair.sameState()) << "seed " << seed << " step " << step;
      }
    }
  }
}

TEST(RendererEquivalence, LongFilteredTailsMatchForEveryCutoffAndResonance) {
  testhost::TempDir dir;
  std::mt19937 random(99);
  romset::RomSet set = randomRomSet(random);
  for (int cut = 0; cut < 4; ++cut)
    for (int res = 0; res < 4; ++res)
      set.setPreset(
          cut * 4 + res,
          romset::PresetRecord().envelope(10, 50, 240, 3, 30 * cut + 5, 1).control(res, cut, res, true));
  ASSERT_TRUE(set.write(dir.path()));
  for (int presetNumber = 0; presetNumber < 16; ++presetNumber) {
    Pair pair(dir.path());
    pair.both([&](Sarn2VST& s) {
      s.setProgram(presetNumber);
      s.setParameter(Sarn2VST::releaseParameter, 0.0f);
      for (int note : {40, 52, 64, 71, 76, 83, 88, 95}) s.engine().noteOn(note);
    });
    ASSERT_EQ(pair.render(4000), -1);
    pair.both([&](Sarn2VST& s) {
      for (int note : {40, 52, 64, 71, 76, 83, 88, 95}) s.engine().noteOff(note);
    });
    // Several seconds of decaying tail, through normal, subnormal and
    // settled filter states.
    for (int block = 0; block < 300; ++block)
      ASSERT_EQ(pair.render(1021), -1) << "preset " << presetNumber << " block " << block;
  }
}

TEST(RendererEquivalence, ValuesNoMusicianWouldSetStillMatch) {
  testhost::TempDir dir;
  std::mt19937 random(7);
  ASSERT_TRUE(randomRomSet(random).write(dir.path()));
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float odd : {nan, inf, -inf, 3.0e38f, -3.0e38f, 1.0e-40f}) {
    Pair pair(dir.path());
    pair.both([&](Sarn2VST& s) {
      s.engine().noteOn(60);
      s.engine().noteOn(72);
      s.engine().noteOff(72);
      s.engine().setRelease(odd);
      s.engine().setPitchBend(odd);
    });
    for (int block = 0; block < 20; ++block) ASSERT_EQ(pair.render(300), -1);
    ASSERT_TRUE(pair.sameState());
  }
}
