// A careless host: blocks of no samples, missing buffers, indexes and
// opcodes out of range, null pointers wherever a pointer goes, chunks of the
// wrong size and answers that make no sense. Each is answered as a careful
// host would be answered, or refused without harm; nothing crashes.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "tests/support/plugin_host.h"
#include "tests/support/temp_rom_dir.h"

using namespace testhost;

namespace {

constexpr float kUntouched = -7.0f;
constexpr uint8_t kGuard = 0x5A;
constexpr int32_t kBadIndexes[] = {-1, 3, INT32_MAX, INT32_MIN};
constexpr int32_t kBadOpcodes[] = {-1, -25, 80, 1000, INT32_MIN, INT32_MAX, 9,  16, 17, 18, 20, 21,
                                   28, 30,  31, 32,   36,        37,        43, 46, 53, 54, 55, 57};

class CarelessHost : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder().reset();
    ASSERT_TRUE(library.loaded()) << pluginPath();
  }

  // A chord on two channels, as both the careless and the careful host send it.
  static void playChord(Instance& instance) {
    ASSERT_EQ(instance.sendMidi({{0x90, 48, 100}, {0x91, 55, 90}, {0x90, 64, 80}}), 1);
  }

  PlatformRoms roms{romset::demoRomSet()};
  PluginLibrary library;
};

bool allFiniteWithinRange(const std::vector<float>& samples) {
  for (float s : samples)
    if (!std::isfinite(s) || s < -1.0f || s > 1.0f) return false;
  return true;
}

double energy(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return sum;
}

struct GuardedBuffer {
  GuardedBuffer() { std::memset(bytes, kGuard, sizeof(bytes)); }
  bool untouched() const {
    for (uint8_t b : bytes)
      if (b != kGuard) return false;
    return true;
  }
  alignas(8) uint8_t bytes[512];
};

intptr_t nonsenseCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                          float opt) {
  recordingCallback(effect, opcode, index, value, ptr, opt);
  return opcode == HostOpcode::version ? 2400 : -1;
}

}  // namespace

TEST_F(CarelessHost, BlocksOfNoSamplesWriteNothingAndLeaveTheSoundWhereItWas) {
  Instance careless(library);
  Instance careful(library);
  playChord(careless);
  playChord(careful);
  for (int32_t frames : {0, -1, -4096, INT32_MIN}) {
    std::vector<float> output(64, kUntouched);
    float* outputs[1] = {output.data()};
    careless.effect()->replace(careless.effect(), nullptr, outputs, frames);
    for (float s : output) ASSERT_EQ(s, kUntouched) << frames << " samples";
  }
  // Voices, phases, envelope and filter did not move: both hosts hear the same.
  EXPECT_EQ(careless.render(2048), careful.render(2048));
}

TEST_F(CarelessHost, InputsAreNeverRead) {
  Instance careless(library);
  Instance careful(library);
  playChord(careless);
  playChord(careful);
  std::vector<float> output(1024, kUntouched);
  float* outputs[1] = {output.data()};
  careless.effect()->replace(careless.effect(), nullptr, outputs, 1024);
  EXPECT_EQ(output, careful.render(1024));
}

TEST_F(CarelessHost, MissingOutputBuffersAreSkippedSafely) {
  Instance instance(library);
  playChord(instance);
  EffectRecord* effect = instance.effect();
  float* noChannel[1] = {nullptr};
  effect->replace(effect, nullptr, nullptr, 512);
  effect->replace(effect, nullptr, noChannel, 512);
  effect->accumulate(effect, nullptr, nullptr, 512);
  effect->accumulate(effect, nullptr, noChannel, 512);
  effect->replaceDouble(effect, nullptr, nullptr, 512);
  double* noDoubleChannel[1] = {nullptr};
  effect->replaceDouble(effect, nullptr, noDoubleChannel, 512);
  // The chord still sounds, and properly.
  const std::vector<float> after = instance.render(2048);
  EXPECT_TRUE(allFiniteWithinRange(after));
  EXPECT_GT(energy(after), 0.0);
}

TEST_F(CarelessHost, ParameterIndexesOutOfRangeAreIgnored) {
  Instance instance(library);
  instance.setParameter(0, 0.5f);
  const std::vector<uint8_t> chunk = instance.chunk();
  ASSERT_EQ(chunk.size(), 20u);
  recorder().reset();
  for (int32_t index : kBadIndexes) {
    instance.setParameter(index, 0.9f);
    EXPECT_EQ(instance.getParameter(index), 0.0f) << index;
    for (int32_t opcode : {EffectOpcode::getParameterDisplay, EffectOpcode::getParameterName}) {
      GuardedBuffer text;
      EXPECT_EQ(instance.dispatch(opcode, index, 0, text.bytes), 0);
      EXPECT_TRUE(text.untouched()) << "opcode " << opcode << ", index " << index;
    }
  }
  EXPECT_EQ(instance.chunk(), chunk);
  EXPECT_TRUE(recorder().calls.empty());
}

TEST_F(CarelessHost, OpcodesOutOfRangeAnswerZeroAndTouchNothing) {
  Instance instance(library);
  playChord(instance);
  Instance careful(library);
  playChord(careful);
  const std::vector<uint8_t> chunk = instance.chunk();
  recorder().reset();
  for (int32_t opcode : kBadOpcodes) {
    for (intptr_t value : {intptr_t{0}, intptr_t{1}, intptr_t{-1}, intptr_t{20}}) {
      GuardedBuffer buffer;
      EXPECT_EQ(instance.dispatch(opcode, 1, value, buffer.bytes, 1.0f), 0) << "opcode " << opcode;
      EXPECT_TRUE(buffer.untouched()) << "opcode " << opcode;
    }
  }
  EXPECT_TRUE(recorder().calls.empty());
  EXPECT_EQ(instance.chunk(), chunk);
  EXPECT_EQ(instance.render(1024), careful.render(1024));
}

TEST_F(CarelessHost, NullPointersAreAnsweredWithoutWritingAnything) {
  Instance instance(library);
  EffectRecord* effect = instance.effect();
  // Requests that only write through ptr report no success when there is
  // nowhere to write.
  for (int32_t opcode :
       {EffectOpcode::getChunk, EffectOpcode::setChunk, EffectOpcode::getEffectName,
        EffectOpcode::getVendorName, EffectOpcode::getProductName, EffectOpcode::getProgramNameByIndex,
        EffectOpcode::getParameterProperties, EffectOpcode::getInputProperties,
        EffectOpcode::getOutputProperties, EffectOpcode::canDo, EffectOpcode::nextShellPlugin,
        EffectOpcode::getSpeakerArrangement}) {
    const intptr_t value = opcode == EffectOpcode::setChunk ? 20 : 0;  // 69 takes value as an address
    EXPECT_EQ(instance.dispatch(opcode, 0, value, nullptr), 0) << "opcode " << opcode;
  }
  // Every other request, with null ptr and value 0: nothing crashes.
  for (int32_t opcode = 0; opcode < 80; ++opcode) {
    if (opcode != EffectOpcode::close) instance.dispatch(opcode, 0, 0, nullptr, 0.0f);
  }
  // Answers that do not depend on ptr stay as they are.
  EXPECT_EQ(instance.dispatch(EffectOpcode::identify, 0, 0, nullptr), kIdentifyAnswer);
  EXPECT_EQ(instance.dispatch(EffectOpcode::getInterfaceVersion, 0, 0, nullptr), 2400);
  EXPECT_EQ(instance.dispatch(EffectOpcode::getCategory, 0, 0, nullptr), 2);
  EXPECT_EQ(instance.dispatch(EffectOpcode::getVendorVersion, 0, 0, nullptr), 1000);
  EXPECT_EQ(instance.dispatch(EffectOpcode::getCurrentMidiProgram, 0, 0, nullptr), -1);
  EXPECT_EQ(instance.dispatch(EffectOpcode::setTotalSampleCount, 0, 12345, nullptr), 12345);

  // A null record reaches no object: every entry answers its default.
  EXPECT_EQ(effect->dispatcher(nullptr, EffectOpcode::identify, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(effect->dispatcher(nullptr, EffectOpcode::close, 0, 0, nullptr, 0.0f), 0);
  effect->setParameter(nullptr, 0, 1.0f);
  EXPECT_EQ(effect->getParameter(nullptr, 0), 0.0f);
  std::vector<float> output(64, kUntouched);
  float* outputs[1] = {output.data()};
  effect->replace(nullptr, nullptr, outputs, 64);
  effect->accumulate(nullptr, nullptr, outputs, 64);
  for (float s : output) EXPECT_EQ(s, kUntouched);

  // The instance is none the worse.
  playChord(instance);
  const std::vector<float> after = instance.render(2048);
  EXPECT_TRUE(allFiniteWithinRange(after));
  EXPECT_GT(energy(after), 0.0);
}

TEST_F(CarelessHost, NullEntriesAndOddCountsInEventBlocks) {
  Instance careless(library);
  Instance careful(library);
  std::vector<MidiEvent> events(3);
  for (MidiEvent& event : events) {
    std::memset(&event, 0, sizeof(event));
    event.type = kMidiEventType;
    event.byteSize = sizeof(MidiEvent);
    event.midiData[0] = static_cast<char>(0x90);
    event.midiData[2] = 100;
  }
  events[0].midiData[1] = 60;
  events[1].midiData[1] = 62;
  events[2].midiData[1] = 64;
  // Header words, then three pointers: the middle one null.
  std::vector<void*> block(2 + 3, nullptr);
  auto* header = reinterpret_cast<EventBlock*>(block.data());
  block[2] = &events[0];
  block[4] = &events[2];
  for (int32_t count : {0, -1, INT32_MIN}) {
    header->eventCount = count;
    EXPECT_EQ(careless.dispatch(EffectOpcode::processEvents, 0, 0, header), 1) << count;
  }
  header->eventCount = 3;
  EXPECT_EQ(careless.dispatch(EffectOpcode::processEvents, 0, 0, header), 1);
  ASSERT_EQ(careful.sendMidi({{0x90, 60, 100}, {0x90, 64, 100}}), 1);
  EXPECT_EQ(careless.render(2048), careful.render(2048));
}

TEST_F(CarelessHost, ChunksOfTheWrongSizeAreRefusedUnread) {
  Instance instance(library);
  const std::vector<uint8_t> chunk = instance.chunk();
  // A plausible chunk in a large buffer, offered with sizes that do not fit it.
  std::vector<uint8_t> offered(4096, 0);
  const int32_t preset = 7;
  const float release = 0.25f;
  std::memcpy(offered.data(), &preset, 4);
  std::memcpy(offered.data() + 4, &release, 4);
  recorder().reset();
  for (intptr_t size : {intptr_t{0}, intptr_t{-1}, intptr_t{19}, intptr_t{21}, intptr_t{4096}, INTPTR_MAX,
                        INTPTR_MIN, intptr_t{-20}}) {
    EXPECT_EQ(instance.dispatch(EffectOpcode::setChunk, 0, size, offered.data()), 0) << size;
    EXPECT_EQ(instance.dispatch(EffectOpcode::setChunk, 1, size, offered.data()), 0) << size;
  }
  EXPECT_EQ(instance.dispatch(EffectOpcode::setChunk, 0, 20, nullptr), 0);
  EXPECT_EQ(instance.chunk(), chunk);
  EXPECT_EQ(recorder().count(HostOpcode::updateDisplay), 0);
  // The right size is still taken afterwards.
  EXPECT_EQ(instance.dispatch(EffectOpcode::setChunk, 0, 20, offered.data()), 1);
  EXPECT_EQ(instance.dispatch(EffectOpcode::getProgram), 7);
}

TEST_F(CarelessHost, SampleRatesThatAreNoRatesFallBackTo44100) {
  // A released chord fades at the rate's pace: a rate that is not a positive
  // number fades exactly as 44100 does, and never leaves a NaN in the output.
  Instance reference(library);
  playChord(reference);
  reference.render(512);
  ASSERT_EQ(reference.sendMidi({{0x80, 48, 0}, {0x81, 55, 0}, {0x80, 64, 0}}), 1);
  const std::vector<float> expected = reference.render(44100);
  for (float rate : {0.0f, -48000.0f, std::nanf(""), -INFINITY}) {
    Instance careless(library);
    careless.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, rate);
    playChord(careless);
    careless.render(512);
    ASSERT_EQ(careless.sendMidi({{0x80, 48, 0}, {0x81, 55, 0}, {0x80, 64, 0}}), 1);
    EXPECT_EQ(careless.render(44100), expected) << "rate " << rate;
  }
  Instance infinite(library);
  infinite.dispatch(EffectOpcode::setSampleRate, 0, 0, nullptr, INFINITY);
  playChord(infinite);
  infinite.render(512);
  ASSERT_EQ(infinite.sendMidi({{0x80, 48, 0}, {0x81, 55, 0}, {0x80, 64, 0}}), 1);
  EXPECT_TRUE(allFiniteWithinRange(infinite.render(4096)));
}

TEST_F(CarelessHost, ParameterValuesThatAreNoNumbersKeepTheOutputSound) {
  for (float value : {std::nanf(""), INFINITY, -INFINITY, 3.0e38f, -3.0e38f}) {
    Instance instance(library);
    for (int32_t index = 0; index < 3; ++index) instance.setParameter(index, value);
    const int32_t preset = static_cast<int32_t>(instance.dispatch(EffectOpcode::getProgram));
    EXPECT_GE(preset, 0) << value;
    EXPECT_LE(preset, 31) << value;
    playChord(instance);
    EXPECT_TRUE(allFiniteWithinRange(instance.render(1024))) << value;
    ASSERT_EQ(instance.sendMidi({{0x80, 48, 0}, {0x81, 55, 0}, {0x80, 64, 0}}), 1);
    EXPECT_TRUE(allFiniteWithinRange(instance.render(4096))) << value;
  }
}

TEST_F(CarelessHost, AHostAnsweringNonsenseChangesNothing) {
  Instance careless(library, &nonsenseCallback);
  Instance careful(library);
  ASSERT_NE(careless.effect(), nullptr);
  for (Instance* instance : {&careless, &careful}) {
    instance->dispatch(EffectOpcode::processingOnOff, 0, 1);
    playChord(*instance);
    std::vector<uint8_t> chunk = instance->chunk();
    chunk[0] = 9;
    EXPECT_EQ(instance->setChunk(chunk), 1);
  }
  EXPECT_EQ(careless.render(4096), careful.render(4096));
}
