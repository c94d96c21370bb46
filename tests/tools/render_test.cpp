// `sarn2 render` as a host: the same events reach the instrument on the
// same samples as when they are sent to the library directly.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"
#include "tests/tools/smf_writer.h"
#include "tests/tools/tool_runner.h"
#include "tools/romset/romset.h"

using namespace tooltest;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;

// A message the host must deliver at a sample.
struct Timed {
  int64_t sample;
  std::array<uint8_t, 3> message;
};

// 480 ticks per beat; 500000 us per beat up to tick 960 (1 s), then
// 400000. Ticks are chosen so that every event falls on a whole sample.
int64_t sampleAtTick(uint32_t tick) {
  if (tick <= 960) return int64_t{tick} * kRate / 960;
  return kRate + int64_t{tick - 960} * 147 / 4;
}

// The music, with running status, all channels, program changes, pitch
// bend, chords and note-offs both ways, and what the host must send for
// each event.
struct Piece {
  std::vector<SmfEvent> events;
  std::vector<Timed> expected;
  uint32_t endTick = 1320;
};

Piece testPiece() {
  Piece p;
  const auto add = [&](uint32_t tick, std::vector<uint8_t> bytes, std::array<uint8_t, 3> sent) {
    p.events.push_back({tick, std::move(bytes)});
    p.expected.push_back({sampleAtTick(tick), sent});
  };
  add(0, {0xC0, 0x07}, {0xC0, 0x07, 0});
  add(0, {0x90, 0x3C, 0x64}, {0x90, 0x3C, 0x64});
  add(16, {0x40, 0x64}, {0x90, 0x40, 0x64});  // running status
  add(48, {0x43, 0x50}, {0x90, 0x43, 0x50});
  add(304, {0xE0, 0x00, 0x50}, {0xE0, 0x00, 0x50});
  add(400, {0x80, 0x3C, 0x00}, {0x80, 0x3C, 0});
  add(480, {0xB0, 0x40, 0x7F}, {0xB0, 0x40, 0x7F});
  add(640, {0x99, 0x24, 0x64}, {0x99, 0x24, 0x64});
  add(656, {0x89, 0x24, 0x00}, {0x89, 0x24, 0});
  add(960, {0xC3, 0x12}, {0xC3, 0x12, 0});
  add(964, {0x93, 0x48, 0x70}, {0x93, 0x48, 0x70});
  add(1000, {0xE0, 0x00, 0x40}, {0xE0, 0x00, 0x40});
  add(1200, {0x90, 0x40, 0x00}, {0x80, 0x40, 0});  // velocity 0 ends the note
  add(1204, {0x43, 0x00}, {0x80, 0x43, 0});        // running status again
  add(1300, {0x83, 0x48, 0x00}, {0x83, 0x48, 0});
  return p;
}

std::vector<SmfEvent> tempoTrack() { return {tempoEvent(0, 500000), tempoEvent(960, 400000)}; }

// The same events sent through the library directly, blocks split at each
// event just as a host must for the instrument.
std::vector<float> renderDirectly(const std::vector<Timed>& messages, int64_t total,
                                  const std::vector<uint8_t>& state = {}) {
  testhost::PluginLibrary library;
  EXPECT_TRUE(library.loaded());
  testhost::Instance instance(library);
  instance.dispatch(EffectOpcode::open);
  instance.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, kRate);
  instance.dispatch(EffectOpcode::setBlockSize, 0, kBlock);
  if (!state.empty()) instance.setChunk(state);
  instance.dispatch(EffectOpcode::processingOnOff, 0, 1);
  std::vector<float> out;
  size_t next = 0;
  for (int64_t position = 0; position < total;) {
    std::vector<std::array<uint8_t, 3>> batch;
    while (next < messages.size() && messages[next].sample <= position)
      batch.push_back(messages[next++].message);
    if (!batch.empty()) instance.sendMidi(batch);
    int64_t frames = std::min<int64_t>(kBlock, total - position);
    if (next < messages.size()) frames = std::min(frames, messages[next].sample - position);
    const std::vector<float> block = instance.render(static_cast<int32_t>(frames));
    out.insert(out.end(), block.begin(), block.end());
    position += frames;
  }
  return out;
}

::testing::AssertionResult sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size())
    return ::testing::AssertionFailure() << "lengths " << a.size() << " and " << b.size();
  for (size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
      return ::testing::AssertionFailure()
             << "first difference at sample " << i << ": " << a[i] << " and " << b[i];
  return ::testing::AssertionSuccess();
}

float peak(const std::vector<float>& samples) {
  float p = 0.0f;
  for (float s : samples) p = std::max(p, std::fabs(s));
  return p;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(romset::demoRomSet().write(roms.path())); }
  std::string path(const std::string& name) const { return work.path() + name; }

  // One note of about a tenth of a second, no tempo track.
  std::string shortPiece() {
    const std::string midi = path("short.mid");
    writeSmf(midi, 0, 480, {{{0, {0x90, 0x45, 0x64}}, {96, {0x80, 0x45, 0x00}}}});
    return midi;
  }

  ToolRun render(std::vector<std::string> args) {
    args.insert(args.begin(), "render");
    args.insert(args.end(), {"--rom-dir", roms.path()});
    return runSarn2(args);
  }

  testhost::TempDir roms, work;
};

}  // namespace

TEST_F(RenderTest, Format1FileEqualsTheSameEventsSentDirectly) {
  const Piece piece = testPiece();
  writeSmf(path("piece.mid"), 1, 480, {tempoTrack(), piece.events}, piece.endTick);
  const ToolRun run = render({path("piece.mid"), "-o", path("out.wav"), "--tail", "0.25"});
  ASSERT_EQ(run.status, 0) << run.err;

  const Wav wav = readWav(path("out.wav"));
  EXPECT_EQ(wav.rate, kRate);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const int64_t total = sampleAtTick(piece.endTick) + kRate / 4;
  ASSERT_EQ(static_cast<int64_t>(wav.samples.size()), total);

  testhost::PlatformRoms sameRoms(romset::demoRomSet());
  const std::vector<float> direct = renderDirectly(piece.expected, total);
  EXPECT_GT(peak(direct), 0.01f);
  EXPECT_TRUE(sameBits(wav.samples, direct));
  EXPECT_NE(run.out.find("out.wav: 1.55 s at 44100 Hz (WAV float)"), std::string::npos) << run.out;
}

TEST_F(RenderTest, Format0FileWithTheTempoInlineRendersTheSame) {
  const Piece piece = testPiece();
  // No tempo event before tick 960: the file runs at the standard 120 beats
  // per minute until then.
  std::vector<SmfEvent> merged = {tempoEvent(960, 400000)};
  merged.insert(merged.end(), piece.events.begin(), piece.events.end());
  std::stable_sort(merged.begin(), merged.end(),
                   [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
  // The tempo meta event at tick 960 ends running status; every event
  // after it carries its own status byte in the piece.
  writeSmf(path("piece0.mid"), 0, 480, {merged}, piece.endTick);
  const ToolRun run = render({path("piece0.mid"), "-o", path("out0.wav"), "--tail", "0"});
  ASSERT_EQ(run.status, 0) << run.err;

  testhost::PlatformRoms sameRoms(romset::demoRomSet());
  EXPECT_TRUE(sameBits(readWav(path("out0.wav")).samples,
                       renderDirectly(piece.expected, sampleAtTick(piece.endTick))));
}

TEST_F(RenderTest, OptionsSelectExactlyThePresetAndParametersAsked) {
  const std::string midi = shortPiece();
  for (int preset : {0, 1, 15, 16, 30, 31}) {
    const ToolRun run = render({midi, "-o", path("p.wav"), "--tail", "0", "--preset", std::to_string(preset),
                                "--save-state", path("p.state")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<uint8_t> state = readBytes(path("p.state"));
    ASSERT_EQ(state.size(), 20u);
    int32_t stored;
    std::memcpy(&stored, state.data(), 4);
    EXPECT_EQ(stored, preset);
  }

  const ToolRun run = render({midi, "-o", path("r.wav"), "--tail", "0", "--release", "0.25", "--filter",
                              "off", "--save-state", path("r.state")});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> state = readBytes(path("r.state"));
  ASSERT_EQ(state.size(), 20u);
  const std::vector<uint8_t> expected = {0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3E, 0, 0,
                                         0, 0, 0, 0, 0,    0,    0,    0,    0, 0};
  EXPECT_EQ(state, expected);  // preset 0, release 0.25f, reserved 0, bend 0, filter off
}

TEST_F(RenderTest, LoadedStateSoundsLikeTheOptionsThatMadeIt) {
  const std::string midi = shortPiece();
  ASSERT_EQ(render({midi, "-o", path("a.wav"), "--preset", "9", "--release", "0.1", "--filter", "off",
                    "--save-state", path("s.state")})
                .status,
            0);
  ASSERT_EQ(render({midi, "-o", path("b.wav"), "--load-state", path("s.state")}).status, 0);
  ASSERT_EQ(render({midi, "-o", path("c.wav")}).status, 0);
  const Wav a = readWav(path("a.wav")), b = readWav(path("b.wav")), c = readWav(path("c.wav"));
  EXPECT_GT(peak(a.samples), 0.01f);
  EXPECT_TRUE(sameBits(a.samples, b.samples));
  EXPECT_FALSE(sameBits(a.samples, c.samples));

  // The same state loaded straight into the library gives the same sound.
  testhost::PlatformRoms sameRoms(romset::demoRomSet());
  const std::vector<Timed> note = {{0, {0x90, 0x45, 0x64}}, {sampleAtTick(96), {0x80, 0x45, 0}}};
  EXPECT_TRUE(sameBits(
      b.samples, renderDirectly(note, static_cast<int64_t>(b.samples.size()), readBytes(path("s.state")))));

  // Options given with a state override it; the rest of the state stays.
  ASSERT_EQ(render({midi, "-o", path("d.wav"), "--tail", "0", "--load-state", path("s.state"), "--preset",
                    "2", "--save-state", path("d.state")})
                .status,
            0);
  std::vector<uint8_t> expected = readBytes(path("s.state"));
  expected[0] = 2;
  EXPECT_EQ(readBytes(path("d.state")), expected);
}

TEST_F(RenderTest, WritesTheSampleFormatAsked) {
  const std::string midi = shortPiece();
  const std::map<std::string, int> formats = {
      {"float", SF_FORMAT_FLOAT}, {"pcm16", SF_FORMAT_PCM_16}, {"pcm24", SF_FORMAT_PCM_24}};
  std::vector<float> reference;
  for (const auto& [name, subtype] : formats) {
    const std::string out = path(name + ".wav");
    const ToolRun run = render({midi, "-o", out, "--format", name, "--tail", "0.1"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Wav wav = readWav(out);
    EXPECT_EQ(wav.format, SF_FORMAT_WAV | subtype) << name;
    EXPECT_EQ(wav.channels, 1);
    if (reference.empty()) reference = wav.samples;
    ASSERT_EQ(wav.samples.size(), reference.size()) << name;
    for (size_t i = 0; i < reference.size(); ++i)
      ASSERT_NEAR(wav.samples[i], reference[i], 1.0 / 32000) << name;
  }
}

TEST_F(RenderTest, AutoTailEndsAfterHalfASecondOfSilence) {
  // One note released at 0.5 s; the output ends exactly when the last
  // 22050 samples have been silent.
  writeSmf(path("note.mid"), 0, 480, {{{0, {0x90, 0x45, 0x64}}, {480, {0x80, 0x45, 0x00}}}});
  ASSERT_EQ(render({path("note.mid"), "-o", path("note.wav"), "--release", "0"}).status, 0);
  const std::vector<float> s = readWav(path("note.wav")).samples;
  ASSERT_GT(s.size(), 22050u + 22050u);
  ASSERT_LT(s.size(), 22050u + 30u * kRate);
  for (size_t i = s.size() - 22050; i < s.size(); ++i) ASSERT_LT(std::fabs(s[i]), 1e-6f) << i;
  EXPECT_GE(std::fabs(s[s.size() - 22051]), 1e-6f);

  // A piece that is silent throughout still lasts to its end of track.
  writeSmf(path("rest.mid"), 0, 480, {{{0, {0xB0, 0x07, 0x64}}}}, 960);
  ASSERT_EQ(render({path("rest.mid"), "-o", path("rest.wav")}).status, 0);
  EXPECT_EQ(readWav(path("rest.wav")).samples.size(), static_cast<size_t>(kRate));
}

TEST_F(RenderTest, TempoBeforeTheFirstTempoEventIs120BeatsPerMinute) {
  // Two beats at 480 ticks each: 1 s at the standard tempo, 1.2 s when the
  // file asks for 100 beats per minute itself.
  writeSmf(path("plain.mid"), 0, 480, {{{0, {0xB0, 0x07, 0x64}}}}, 960);
  writeSmf(path("slow.mid"), 0, 480, {{tempoEvent(0, 600000), {0, {0xB0, 0x07, 0x64}}}}, 960);
  writeSmf(path("late.mid"), 0, 480, {{{0, {0xB0, 0x07, 0x64}}, tempoEvent(480, 1000000)}}, 960);
  for (const auto& [name, samples] :
       std::map<std::string, size_t>{{"plain", 44100}, {"slow", 52920}, {"late", 22050 + 44100}}) {
    ASSERT_EQ(render({path(name + ".mid"), "-o", path(name + ".wav"), "--tail", "0"}).status, 0) << name;
    EXPECT_EQ(readWav(path(name + ".wav")).samples.size(), samples) << name;
  }
}

TEST_F(RenderTest, OtherInstrumentsOfTheInterfaceRenderToo) {
  const std::string amsynth = "/usr/lib/vst/amsynth_vst.so";
  if (!std::filesystem::exists(amsynth)) GTEST_SKIP() << "amsynth is not installed";
  std::filesystem::create_directories(path("home"));
  writeSmf(path("chord.mid"), 0, 480,
           {{{0, {0x90, 0x3C, 0x64}}, {0, {0x40, 0x64}}, {480, {0x80, 0x3C, 0}}, {480, {0x40, 0}}}});
  const ToolRun run =
      runSarn2({"render", path("chord.mid"), "-o", path("amsynth.wav"), "--plugin", amsynth, "--tail", "0.5"},
               {{"HOME", path("home")}});
  ASSERT_EQ(run.status, 0) << run.err;
  const Wav wav = readWav(path("amsynth.wav"));
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.samples.size(), static_cast<size_t>(kRate / 2 + kRate / 2));
  EXPECT_GT(peak(wav.samples), 0.01f);
}

// A picture of a render, and one of digital silence that says so.
TEST_F(RenderTest, PlotWavDrawsARenderedFile) {
  ASSERT_EQ(render({shortPiece(), "-o", path("p.wav")}).status, 0);
  const ToolRun png = runSarn2({"plot-wav", path("p.wav"), "-o", path("p.png")});
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_EQ(png.out, path("p.png") + ": drew 1.51 s of " + path("p.wav") + "\n");
  EXPECT_EQ(pngSize(readBytes(path("p.png"))), (std::pair<uint32_t, uint32_t>{1280, 636}));
  EXPECT_EQ(runSarn2({"plot-wav", path("missing.wav"), "-o", path("m.png")}).status, 1);
  EXPECT_FALSE(std::filesystem::exists(path("m.png")));

  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path("zero.wav").c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  const std::vector<float> zeros(24000, 0.0f);
  sf_writef_float(file, zeros.data(), static_cast<sf_count_t>(zeros.size()));
  sf_close(file);
  const ToolRun silent = runSarn2({"plot-wav", path("zero.wav"), "-o", path("zero.svg")});
  ASSERT_EQ(silent.status, 0) << silent.err;
  EXPECT_EQ(silent.out, path("zero.svg") + ": drew 0.50 s of " + path("zero.wav") + ", digital silence\n");
}
