// Golden renders: scripted sessions played through the built library on
// the demo ROM set, compared bit for bit with reference output kept in
// tests/golden/ (raw little-endian float32, 44.1 kHz unless the script
// changes the rate). SARN2_UPDATE_GOLDEN=1 rewrites the references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

#ifndef SARN2_GOLDEN_DIR
#error "SARN2_GOLDEN_DIR must name the directory of the reference renders"
#endif

using namespace testhost;

namespace {

using Midi = std::array<uint8_t, 3>;
using Action = std::function<void(Instance&)>;

struct Cue {
  int32_t frame;
  Action action;
};

// A session: what happens at which frame, and the host's block sizes,
// taken in turn and cut short at every cue.
struct Script {
  int32_t frames;
  std::vector<int32_t> blockSizes;
  std::vector<Cue> cues;

  Script& at(double seconds, Action action) {
    cues.push_back({static_cast<int32_t>(seconds * 44100.0), std::move(action)});
    return *this;
  }
  Script& midi(double seconds, std::vector<Midi> messages) {
    return at(seconds, [messages](Instance& i) { i.sendMidi(messages); });
  }
};

Action parameter(int32_t index, float value) {
  return [=](Instance& i) { i.setParameter(index, value); };
}

Action sampleRate(float rate) {
  return [=](Instance& i) { i.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, rate); };
}

Action chunk(int32_t preset, float release, float pitchBend, int32_t filter) {
  return [=](Instance& i) {
    std::vector<uint8_t> bytes(20);
    const float reserved = 0.0f;
    std::memcpy(&bytes[0], &preset, 4);
    std::memcpy(&bytes[4], &release, 4);
    std::memcpy(&bytes[8], &reserved, 4);
    std::memcpy(&bytes[12], &pitchBend, 4);
    std::memcpy(&bytes[16], &filter, 4);
    EXPECT_EQ(i.setChunk(bytes), 1);
  };
}

float presetValue(int preset) { return static_cast<float>(preset) / 31.0f; }

std::vector<float> play(Script script) {
  PlatformRoms roms(romset::demoRomSet());
  PluginLibrary library;
  EXPECT_TRUE(library.loaded()) << pluginPath();
  recorder().reset();
  Instance instance(library);
  std::vector<float> output;
  if (instance.effect() == nullptr) return output;
  // The start-up a host performs before it plays.
  instance.dispatch(EffectOpcode::open);
  instance.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, 44100.0f);
  instance.dispatch(EffectOpcode::setBlockSize, 0, 1024);
  instance.dispatch(EffectOpcode::processingOnOff, 0, 1);

  std::stable_sort(script.cues.begin(), script.cues.end(),
                   [](const Cue& a, const Cue& b) { return a.frame < b.frame; });
  size_t next = 0;
  size_t block = 0;
  while (static_cast<int32_t>(output.size()) < script.frames) {
    const auto position = static_cast<int32_t>(output.size());
    while (next < script.cues.size() && script.cues[next].frame <= position)
      script.cues[next++].action(instance);
    int32_t size = script.blockSizes[block++ % script.blockSizes.size()];
    size = std::min(size, script.frames - position);
    if (next < script.cues.size()) size = std::min(size, script.cues[next].frame - position);
    const std::vector<float> rendered = instance.render(size);
    output.insert(output.end(), rendered.begin(), rendered.end());
  }
  instance.dispatch(EffectOpcode::processingOnOff, 0, 0);
  return output;
}

std::string goldenPath(const std::string& name) { return std::string(SARN2_GOLDEN_DIR) + name + ".f32"; }

std::vector<uint8_t> littleEndian(const std::vector<float>& samples) {
  std::vector<uint8_t> bytes;
  bytes.reserve(samples.size() * 4);
  for (float sample : samples) {
    uint32_t bits;
    std::memcpy(&bits, &sample, 4);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(bits >> shift));
  }
  return bytes;
}

std::vector<float> fromLittleEndian(const std::vector<uint8_t>& bytes) {
  std::vector<float> samples(bytes.size() / 4);
  for (size_t n = 0; n < samples.size(); ++n) {
    uint32_t bits = 0;
    for (int b = 3; b >= 0; --b) bits = bits << 8 | bytes[4 * n + static_cast<size_t>(b)];
    std::memcpy(&samples[n], &bits, 4);
  }
  return samples;
}

bool updating() {
  const char* value = std::getenv("SARN2_UPDATE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

// Compares with the stored reference, or stores the render when updating.
void checkGolden(const std::string& name, const std::vector<float>& rendered) {
  // A render that is silent or leaves the output range would make a useless reference.
  float peak = 0.0f;
  for (float x : rendered) {
    ASSERT_TRUE(x >= -1.0f && x <= 1.0f) << name;
    peak = std::max(peak, std::fabs(x));
  }
  ASSERT_GT(peak, 0.05f) << name << " is nearly silent";

  const std::string path = goldenPath(name);
  const std::vector<uint8_t> bytes = littleEndian(rendered);
  if (updating()) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot write " << path;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    ASSERT_EQ(std::fclose(file), 0);
    ASSERT_EQ(written, bytes.size());
    std::printf("wrote %s (%zu samples)\n", path.c_str(), rendered.size());
    return;
  }

  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr) << "no reference " << path << "; run with SARN2_UPDATE_GOLDEN=1 to create it";
  std::vector<uint8_t> stored;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
    stored.insert(stored.end(), buffer, buffer + got);
  std::fclose(file);

  const std::vector<float> reference = fromLittleEndian(stored);
  ASSERT_EQ(rendered.size(), reference.size()) << path;
  size_t differing = 0;
  size_t first = 0;
  for (size_t n = 0; n < rendered.size(); ++n) {
    if (std::memcmp(&rendered[n], &reference[n], 4) != 0) {
      if (differing++ == 0) first = n;
    }
  }
  EXPECT_EQ(differing, 0u) << name << ": first difference at sample " << first << ": rendered "
                           << (differing ? rendered[first] : 0.0f) << ", reference "
                           << (differing ? reference[first] : 0.0f);
}

}  // namespace

// All four message kinds on several channels, more notes than voices,
// note-ons of velocity 0, the sustain pedal and the panic messages, and
// messages the instrument ignores.
TEST(GoldenRender, MidiOnManyChannels) {
  Script script{88200, {256, 1, 97, 512, 33, 1024, 7}, {}};
  script.midi(0.0, {{0xC2, 11, 0}, {0x90, 60, 100}, {0x91, 64, 90}})
      .midi(0.1, {{0x99, 67, 80}, {0x9F, 72, 70}})
      .midi(0.2, {{0xE4, 0x00, 0x50}, {0xB0, 64, 127}})  // pedal down
      .midi(0.3, {{0x93, 48, 100}, {0x93, 55, 100}, {0x95, 76, 60}, {0x96, 79, 60}})
      .midi(0.4, {{0x97, 84, 60}, {0x98, 43, 60}})  // nine and ten: slots 0 and 1 are taken over
      .midi(0.5, {{0x90, 84, 0}, {0x85, 79, 100}, {0xE4, 0x7F, 0x7F}})
      .midi(0.6, {{0xC7, 45, 0}, {0x90, 62, 110}})                     // program 45 selects preset 13
      .midi(0.8, {{0xE0, 0x00, 0x20}, {0xB0, 123, 0}, {0xD0, 40, 0}})  // all notes off: sustained
      .midi(1.0, {{0x80, 48, 0}, {0x80, 55, 0}, {0x90, 76, 0}, {0xE0, 0x00, 0x40}})
      .midi(1.1, {{0xC0, 3, 0}, {0x90, 36, 127}, {0x90, 36, 127}})
      .midi(1.2, {{0xE0, 0x00, 0x60}, {0xB2, 121, 0}})  // bend back to centre, pedal up
      .midi(1.4, {{0x80, 36, 0}, {0x80, 60, 0}, {0x81, 64, 0}, {0x89, 67, 0}, {0x8F, 72, 0}, {0x80, 62, 0}})
      .midi(1.5, {{0x80, 43, 0}, {0x80, 84, 0}, {0x80, 79, 0}, {0x80, 76, 0}})
      .midi(1.9, {{0xB0, 120, 0}});
  checkGolden("midi_many_channels", play(script));
}

// Preset changes through the parameter and program change while notes
// sound, the filter switched out and back in, the release moved.
TEST(GoldenRender, PresetChangesAndFilterToggles) {
  Script script{88200, {512, 64, 1000, 3, 128}, {}};
  script.at(0.0, parameter(0, presetValue(7)))
      .midi(0.0, {{0x90, 45, 100}, {0x90, 52, 100}, {0x90, 57, 100}})
      .at(0.25, parameter(0, presetValue(12)))
      .at(0.4, parameter(2, 0.0f))
      .at(0.55, parameter(2, 1.0f))
      .midi(0.6, {{0xC0, 26, 0}, {0x90, 64, 100}})
      .at(0.8, parameter(1, 0.1f))
      .midi(0.9, {{0x80, 45, 0}, {0x80, 52, 0}})
      .at(1.0, parameter(0, presetValue(21)))
      .midi(1.05, {{0x90, 69, 100}})
      .at(1.2, parameter(2, 0.2f))
      .at(1.3, parameter(1, 0.9f))
      .midi(1.35, {{0x80, 57, 0}, {0x80, 64, 0}, {0x80, 69, 0}})
      .at(1.6, parameter(2, 0.7f));
  checkGolden("preset_changes_filter_toggles", play(script));
}

// State chunks loaded while notes sound (a chunk keeps the envelope's read
// position and brings its own bend and release), and sample-rate changes.
TEST(GoldenRender, ChunkLoadsAndSampleRateChange) {
  Script script{88200, {441, 17, 2048, 100, 1}, {}};
  script.at(0.0, chunk(2, 0.5f, 0.0f, 1))
      .midi(0.0, {{0x90, 50, 100}, {0x90, 62, 100}})
      .at(0.3, chunk(22, 0.3f, 0.5f, 1))
      .at(0.5, chunk(40, 0.7f, -0.25f, 7))  // preset 40 is taken as 31
      .midi(0.55, {{0x90, 74, 100}})
      .at(0.7, sampleRate(48000.0f))
      .midi(0.75, {{0x80, 50, 0}})
      .at(0.9, chunk(-3, 0.2f, 0.0f, 0))  // preset -3 is taken as 0; filter out
      .at(1.0, sampleRate(22050.0f))
      .midi(1.05, {{0x80, 62, 0}, {0x90, 55, 100}})
      .at(1.2, chunk(17, 1.0f, 0.125f, 1))
      .at(1.4, sampleRate(0.0f))  // no usable rate: 44100 for the release slope
      .midi(1.45, {{0x80, 74, 0}, {0x80, 55, 0}});
  checkGolden("chunk_loads_sample_rate", play(script));
}

// A resonant sweep that ends well before the render does: seconds of
// filtered silence guard the decaying filter tail.
TEST(GoldenRender, FilterTailAfterTheLastVoice) {
  Script script{176400, {4096, 511, 37, 1024}, {}};
  script.at(0.0, parameter(0, presetValue(22)))
      .at(0.0, parameter(1, 0.0f))
      .midi(0.0, {{0x90, 40, 100}, {0x90, 47, 100}})
      .midi(0.2, {{0x90, 59, 100}})
      .midi(0.45, {{0x80, 40, 0}, {0x80, 47, 0}, {0x80, 59, 0}});
  checkGolden("filter_tail", play(script));
}
